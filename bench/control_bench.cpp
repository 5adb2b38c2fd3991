// The auto-update tick, every 100 ms while RF mode is on: with nothing changed it must be cheap
// and allocation-free; with grid, pods and rings changed it hands four reports to the link in one
// batch, logs three blocks, and later runs the batch's answer.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "bench/posted_tasks.h"
#include "control/control_center_controller.h"
#include "device/simulated_transmitter.h"
#include "tests/support/allocation_counter.h"

namespace velta {
namespace {

// A window whose Data Center refresh costs what was appended, as the real box's does: it only
// counts the bytes it would add. Posted work waits in a queue that the timed thread runs, as the
// event loop would.
class BenchView : public ControlCenterView {
  public:
    void ShowWriteError() override { ++writeErrors; }
    void SetStatusText(std::string_view) override {}
    void PostToUiThread(std::function<void()> task) override { tasks_.Post(std::move(task)); }
    // Runs posted work, waiting for it, until every send has been answered.
    void Settle(const ControlCenterController& controller) {
        tasks_.RunUntil([&] { return controller.SendsInFlight() == 0; });
    }
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

  private:
    bench::PostedTasks tasks_;
};

// One cell, one pod colour and one ring changed for step n, so all three features differ.
void ChangeEveryFeature(PanelState& panel, int n) {
    panel.ToggleCell(n % kCellCount);
    panel.SetPodColor(n % kPodCount, static_cast<Color>(n + 1) & 0xFFFFFFu);
    panel.ToggleRing(n % kRingCount);
}

// RF on, connected, "LED Grid", "RGB Pods", "LED Rings" and "Auto Update" checked, the first
// look already taken and answered.
void Prepare(ControlCenterController& controller, SimulatedTransmitter& tx, BenchView& view) {
    controller.OnInitDialog();
    for (FeatureBox box : {FeatureBox::LedGrid, FeatureBox::RgbPods, FeatureBox::LedRings})
        controller.OnFeatureBoxClicked(box, true);
    controller.OnConnectTx();
    controller.OnRfMode();
    view.Settle(controller);
    controller.OnAutoUpdateClicked(true);
    controller.OnTimer(kAutoUpdateTimerId);
    view.Settle(controller);
    tx.ClearRecord();
}

void BM_AutoUpdateTickNothingChanged(benchmark::State& state) {
    SimulatedTransmitter tx;
    BenchView view;
    ControlCenterController controller{tx, view};
    Prepare(controller, tx, view);

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

// Each tick's batch is answered before the next tick, as the event loop runs the answer well
// within 100 ms; the time includes running it (the tap's four reports, the controller's count).
void BM_AutoUpdateTickAllChanged(benchmark::State& state) {
    SimulatedTransmitter tx;
    BenchView view;
    ControlCenterController controller{tx, view};
    Prepare(controller, tx, view);
    PanelState& panel = controller.Panel();

    std::int64_t iteration = 0;
    const std::uint64_t before = tx.WrittenTotal();
    for (auto _ : state) {
        ChangeEveryFeature(panel, static_cast<int>(iteration++));
        controller.OnTimer(kAutoUpdateTimerId);
        view.Settle(controller);
    }
    const std::uint64_t reports = tx.WrittenTotal() - before;

    state.counters["reports_per_tick"] =
        iteration == 0 ? 0.0 : static_cast<double>(reports) / static_cast<double>(iteration);
    state.counters["log_MB"] = static_cast<double>(controller.Log().Text().size()) / 1e6;
    if (view.writeErrors != 0)
        state.SkipWithError("a write failed");
}
// CPU of the timed (UI) thread, as before; and of the whole process, the writer thread included.
BENCHMARK(BM_AutoUpdateTickAllChanged);
BENCHMARK(BM_AutoUpdateTickAllChanged)
    ->Name("BM_AutoUpdateTickAllChanged/process")
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The same tick with the link closed: change tracking and the Data Center alone, so the difference
// to the above is what handing the reports over and running the answer costs.
void BM_AutoUpdateTickAllChangedNoLink(benchmark::State& state) {
    SimulatedTransmitter tx;
    BenchView view;
    ControlCenterController controller{tx, view};
    Prepare(controller, tx, view);
    controller.OnClose();
    view.Settle(controller);
    PanelState& panel = controller.Panel();
    const std::uint64_t before = tx.WrittenTotal();
    std::int64_t iteration = 0;
    for (auto _ : state) {
        ChangeEveryFeature(panel, static_cast<int>(iteration++));
        controller.OnTimer(kAutoUpdateTimerId);
    }
    if (tx.WrittenTotal() != before || controller.SendsInFlight() != 0)
        state.SkipWithError("the tick sent something");
}
BENCHMARK(BM_AutoUpdateTickAllChangedNoLink);

}  // namespace
}  // namespace velta
