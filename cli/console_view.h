// The window as a terminal sees it: the controller runs unchanged and the console view keeps
// what the window would have shown, so a command can turn it into an exit code and messages.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <string_view>

#include "control/control_center_view.h"

namespace velta::cli {

class ConsoleView : public ControlCenterView {
  public:
    // Write failures are reported on `err` as they happen, one line each.
    explicit ConsoleView(std::ostream& err);

    // The Status box's text; empty until something set it.
    const std::string& StatusText() const { return status_; }
    // How often the "Write Error" box would have come up.
    int WriteFailures() const { return writeFailures_; }
    // Why the last Connect found no usable transmitter, in the link's words; empty after a
    // successful one.
    const std::string& LinkDiagnostic() const { return diagnostic_; }
    // The transmitter is there but this user may not open it.
    bool PermissionProblem() const { return permissionProblem_; }

    // Runs the work posted so far on the calling thread, the one that drives the controller;
    // the command loop calls it between steps, as an event loop would.
    void RunPosted();
    // Blocks until work has been posted that RunPosted has not run yet.
    void WaitForPosted();
    // The same, giving up at `deadline`; true when work waits.
    bool WaitForPostedUntil(std::chrono::steady_clock::time_point deadline);

    void ShowWriteError() override;
    void SetStatusText(std::string_view text) override { status_ = text; }
    // Any thread (the link's reader posts from its own).
    void PostToUiThread(std::function<void()> task) override;
    // The controller keeps the log and the RF state; a command reads them there.
    void RefreshDataCenter(std::string_view /*log*/, std::size_t /*shownBefore*/) override {}
    void SetRfButtonCaption(std::string_view /*caption*/) override {}
    void ShowLinkDiagnostic(std::string_view reason, bool permissionProblem) override {
        diagnostic_ = reason;
        permissionProblem_ = permissionProblem;
    }
    void ClearLinkDiagnostic() override {
        diagnostic_.clear();
        permissionProblem_ = false;
    }
    // No timer ever fires in a command: nothing paints and Auto Update stays off.
    void StartTimer(int /*id*/, int /*periodMs*/) override {}
    void StopTimer(int /*id*/) override {}
    PointerSample SamplePointer() override { return {}; }
    Color PickedColor() override { return 0; }

  private:
    std::ostream& err_;
    std::string status_;
    std::string diagnostic_;
    bool permissionProblem_ = false;
    int writeFailures_ = 0;

    // Filled by any thread, drained by the command thread.
    std::mutex postedMutex_;
    std::condition_variable postedChanged_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace velta::cli
