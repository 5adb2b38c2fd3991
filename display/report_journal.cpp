#include "display/report_journal.h"

#include <algorithm>
#include <utility>

namespace velta {

ReportJournal::ReportJournal(Clock clock)
    : clock_(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); })),
      start_(clock_()),
      entries_(std::make_unique<JournalEntry[]>(kCapacity)) {}

void ReportJournal::RecordWritten(const DeviceReport& report, bool written) {
    Record(report, ReportDirection::Written, written, kReportSize);
}

void ReportJournal::RecordRead(const DeviceReport& report, std::size_t length) {
    Record(report, ReportDirection::Read, true, std::min(length, kReportSize));
}

void ReportJournal::Record(const DeviceReport& report, ReportDirection direction, bool ok,
                           std::size_t length) {
    JournalEntry* entry = nullptr;
    if (size_ < kCapacity) {
        entry = &entries_[(first_ + size_) % kCapacity];
        ++size_;
    } else {
        entry = &entries_[first_];  // the oldest makes room
        first_ = (first_ + 1) % kCapacity;
    }
    entry->sinceStart = std::chrono::duration_cast<std::chrono::nanoseconds>(clock_() - start_);
    entry->direction = direction;
    entry->ok = ok;
    entry->length = static_cast<std::uint8_t>(length);
    entry->bytes = report;
    ++recorded_;
    ++changes_;
}

void ReportJournal::Clear() {
    first_ = 0;
    size_ = 0;
    recorded_ = 0;
    ++changes_;
    ++clears_;
}

}  // namespace velta
