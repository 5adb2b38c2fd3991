// A headless window for the controller: records everything the controller shows and lets the
// test play the user (pointer, colour box) and the event loop (posted tasks, modal boxes).
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "control/control_center_view.h"
#include "tests/support/posted_tasks.h"

namespace velta::testing {

class FakeView : public ControlCenterView, public PostedTasks {
  public:
    // --- what the controller and the link showed ---
    std::vector<std::string> statusTexts;
    std::string caption{kCaptionActivateRf};  // the caption the dialog template gives
    std::map<int, int> runningTimers;         // id -> period in ms
    std::vector<std::pair<int, int>> timerStarts;
    int writeErrors = 0;
    std::vector<std::string> hints;  // the status bar's explanations
    int refreshes = 0;
    std::map<int, bool> busy;  // control id -> disabled for its send in flight
    int playingStopped = 0;
    std::vector<std::string> dataCenterWarnings;
    std::vector<std::string> dataCenterFull;
    // The Data Center box, built only from the deltas each refresh hands over.
    std::string shown;
    bool refreshesContiguous = true;

    // --- what the user does ---
    PointerSample pointer;
    Color picked = 0;
    // Runs inside the "Write Error" box, as the box's nested event loop would.
    std::function<void()> duringWriteError;

    void ShowWriteError() override {
        ++writeErrors;
        if (duringWriteError)
            duringWriteError();
    }
    void SetStatusText(std::string_view text) override { statusTexts.emplace_back(text); }
    void ShowHint(std::string_view hint) override { hints.emplace_back(hint); }
    void RefreshDataCenter(std::string_view log, std::size_t shownBefore) override {
        ++refreshes;
        // The box only ever receives what it has not shown yet.
        if (shownBefore != shown.size() || shownBefore > log.size()) {
            refreshesContiguous = false;
            shown.assign(log);
            return;
        }
        shown.append(log.substr(shownBefore));
    }
    void SetRfButtonCaption(std::string_view text) override { caption = text; }
    void StartTimer(int id, int periodMs) override {
        runningTimers[id] = periodMs;
        timerStarts.emplace_back(id, periodMs);
    }
    void StopTimer(int id) override { runningTimers.erase(id); }
    void SetCommandBusy(int controlId, bool isBusy) override { busy[controlId] = isBusy; }
    void OnPlayingStopped() override { ++playingStopped; }
    void DataCenterWarning(std::string_view text) override {
        dataCenterWarnings.emplace_back(text);
    }
    void DataCenterFull(std::string_view text) override { dataCenterFull.emplace_back(text); }
    PointerSample SamplePointer() override { return pointer; }
    Color PickedColor() override { return picked; }
    bool TimerRunning(int id) const { return runningTimers.count(id) != 0; }

    // Posting may come from the link's reader thread; the tasks wait for RunPosted.
    void PostToUiThread(std::function<void()> task) override { Post(std::move(task)); }
};

}  // namespace velta::testing
