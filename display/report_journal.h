// The last 10,000 reports that crossed the link, written and read, for the report monitor.
// A ring buffer allocated once at construction: recording never allocates and the memory is
// fixed. UI thread only, like the tap that fills it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "device/device_reports.h"
#include "device/report_tap.h"

namespace velta {

struct JournalEntry {
    std::chrono::nanoseconds sinceStart{0};  // since the journal was made
    ReportDirection direction = ReportDirection::Written;
    bool ok = true;                     // false for a write that failed; reads are always ok
    std::uint8_t length = kReportSize;  // bytes of `bytes` that are real (reads may be shorter)
    DeviceReport bytes{};
};

class ReportJournal {
  public:
    static constexpr std::size_t kCapacity = 10'000;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // `clock` defaults to std::chrono::steady_clock::now; tests hand in their own.
    explicit ReportJournal(Clock clock = {});

    void RecordWritten(const DeviceReport& report, bool written);
    // `length` above 65 is taken as 65.
    void RecordRead(const DeviceReport& report, std::size_t length);
    void Clear();

    std::size_t Size() const { return size_; }
    // Row 0 is the oldest report kept; `row` must be below Size().
    const JournalEntry& Row(std::size_t row) const { return entries_[(first_ + row) % kCapacity]; }
    // Reports recorded since the last Clear, including those the buffer has since dropped: a
    // view that remembers it knows how many rows are new and how many fell out at the front.
    std::uint64_t RecordedSinceClear() const { return recorded_; }
    // Goes up on every record and every Clear; a view compares it to skip work.
    std::uint64_t ChangeCount() const { return changes_; }
    std::uint64_t ClearCount() const { return clears_; }

  private:
    void Record(const DeviceReport& report, ReportDirection direction, bool ok, std::size_t length);

    Clock clock_;
    std::chrono::steady_clock::time_point start_;
    std::unique_ptr<JournalEntry[]> entries_;
    std::size_t first_ = 0;
    std::size_t size_ = 0;
    std::uint64_t recorded_ = 0;
    std::uint64_t changes_ = 0;
    std::uint64_t clears_ = 0;
};

}  // namespace velta
