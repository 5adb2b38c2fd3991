// The auto-update tick, every 100 ms while RF mode is on: with nothing changed it must be cheap
// and allocation-free; with grid, pods and rings changed it sends four reports and logs three
// blocks.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "control/control_center_controller.h"
#include "device/simulated_transmitter.h"
#include "tests/support/allocation_counter.h"

namespace velta {
namespace {

// A window whose Data Center refresh costs what was appended, as the real box's does: it only
// counts the bytes it would add.
class BenchView : public ControlCenterView {
  public:
    void ShowWriteError() override { ++writeErrors; }
    void SetStatusText(std::string_view) override {}
    void PostToUiThread(std::function<void()>) override {}
    void RefreshDataCenter(std::string_view log, std::size_t shownBefore) override {
        shownBytes += log.size() - shownBefore;
    }
    void SetRfButtonCaption(std::string_view) override {}
    void StartTimer(int, int) override {}
    void StopTimer(int) override {}
    PointerSample SamplePointer() override { return {}; }
    Color PickedColor() override { return 0; }

    int writeErrors = 0;
    std::size_t shownBytes = 0;
};

// RF on, connected, "LED Grid", "RGB Pods", "LED Rings" and "Auto Update" checked, the first
// look already taken.
void Prepare(ControlCenterController& controller, SimulatedTransmitter& tx) {
    controller.OnInitDialog();
    for (FeatureBox box : {FeatureBox::LedGrid, FeatureBox::RgbPods, FeatureBox::LedRings})
        controller.OnFeatureBoxClicked(box, true);
    controller.OnConnectTx();
    controller.OnRfMode();
    controller.OnAutoUpdateClicked(true);
    controller.OnTimer(kAutoUpdateTimerId);
    tx.ClearRecord();
}

void BM_AutoUpdateTickNothingChanged(benchmark::State& state) {
    SimulatedTransmitter tx;
    BenchView view;
    ControlCenterController controller{tx, view};
    Prepare(controller, tx);

    const std::size_t before = testing::AllocationsOnThisThread();
    for (auto _ : state)
        controller.OnTimer(kAutoUpdateTimerId);
    const std::size_t allocations = testing::AllocationsOnThisThread() - before;

    state.counters["allocations"] = static_cast<double>(allocations);
    state.counters["reports"] = static_cast<double>(tx.WrittenReports().size());
    if (!controller.Link().IsConnected() || !tx.WrittenReports().empty()) {
        state.SkipWithError("the tick sent something");
    }
}
BENCHMARK(BM_AutoUpdateTickNothingChanged);

void BM_AutoUpdateTickAllChanged(benchmark::State& state) {
    SimulatedTransmitter tx;
    BenchView view;
    ControlCenterController controller{tx, view};
    Prepare(controller, tx);
    PanelState& panel = controller.Panel();

    std::size_t reports = 0;
    std::int64_t iteration = 0;
    for (auto _ : state) {
        // One cell, one pod colour and one ring change each time, so all three features differ.
        const int n = static_cast<int>(iteration++);
        panel.ToggleCell(n % kCellCount);
        panel.SetPodColor(n % kPodCount, static_cast<Color>(n + 1) & 0xFFFFFFu);
        panel.ToggleRing(n % kRingCount);
        controller.OnTimer(kAutoUpdateTimerId);
        if ((iteration & 1023) == 0) {
            // The simulated transmitter keeps every report; keep its record small.
            state.PauseTiming();
            reports += tx.WrittenReports().size();
            tx.ClearRecord();
            state.ResumeTiming();
        }
    }
    reports += tx.WrittenReports().size();

    state.counters["reports_per_tick"] =
        iteration == 0 ? 0.0 : static_cast<double>(reports) / static_cast<double>(iteration);
    state.counters["log_MB"] = static_cast<double>(controller.Log().Text().size()) / 1e6;
    if (view.writeErrors != 0)
        state.SkipWithError("a write failed");
}
BENCHMARK(BM_AutoUpdateTickAllChanged);

}  // namespace
}  // namespace velta
