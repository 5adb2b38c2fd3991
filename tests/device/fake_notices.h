// LinkNotices for tests: records what the link showed and queues posted tasks until the test
// runs them, standing in for the UI thread's event queue. Also a recording ReportTap, a LinkWait
// whose deadlines pass when the test says so, never by the clock, and a send that waits.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device/hid_link.h"
#include "device/link_notices.h"
#include "device/link_wait.h"
#include "device/report_tap.h"
#include "tests/support/posted_tasks.h"

namespace velta::testing {

class FakeNotices : public LinkNotices, public PostedTasks {
  public:
    // Called inside ShowWriteError, as a nested event loop would run timer ticks.
    std::function<void()> onWriteError;
    int writeErrors = 0;
    std::vector<std::string> statusTexts;
    std::vector<std::pair<std::string, bool>> diagnostics;  // reason, permission problem
    int diagnosticClears = 0;

    void ShowWriteError() override {
        ++writeErrors;
        if (onWriteError)
            onWriteError();
    }
    void SetStatusText(std::string_view text) override { statusTexts.emplace_back(text); }
    void PostToUiThread(std::function<void()> task) override { Post(std::move(task)); }
    void ShowLinkDiagnostic(std::string_view reason, bool permissionProblem) override {
        diagnostics.emplace_back(reason, permissionProblem);
    }
    void ClearLinkDiagnostic() override { ++diagnosticClears; }
};

// What the tap saw, in order: written reports with their outcome, then input reports.
class RecordingTap : public ReportTap {
  public:
    std::vector<std::pair<DeviceReport, bool>> written;
    std::vector<std::pair<DeviceReport, std::size_t>> read;

    void OnReportWritten(const DeviceReport& report, bool ok) override {
        written.emplace_back(report, ok);
    }
    void OnReportRead(const DeviceReport& report, std::size_t length) override {
        read.emplace_back(report, length);
    }
};

// A deadline passes only once `expired` holds (e.g. "the device has a write stalled"), so a test
// decides when the link gives a write up without any clock involved.
class ControlledWait : public LinkWait {
  public:
    std::function<bool()> expired = [] { return false; };
    std::atomic<int> expiries{0};

    bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                   LinkClock::time_point /*deadline*/, const std::function<bool()>& done) override {
        while (!done()) {
            if (expired()) {
                ++expiries;
                return false;
            }
            // Polls `expired`, which nothing notifies; the step is no timing assumption.
            changed.wait_for(lock, std::chrono::milliseconds(1));
        }
        return true;
    }
};

// Sends one batch and runs the link's posted work until its answer has come back; the tap (if
// any) has seen its reports by then.
inline BatchResult SendAndWait(HidLink& link, FakeNotices& notices, ReportBatch batch) {
    std::optional<BatchResult> answer;
    link.Send(std::move(batch), [&](const BatchResult& result) { answer = result; });
    WaitUntil([&] {
        notices.RunPosted();
        return answer.has_value();
    });
    return answer.value_or(BatchResult{});
}

}  // namespace velta::testing
