// Costs of the grid editing paths that run on the UI thread: the 10 ms sample tick, the grid
// commands and the 100 ms change check of Auto Update.
#include <benchmark/benchmark.h>

#include <cstddef>

#include "control/change_tracker.h"
#include "export/data_center_log.h"
#include "grid/grid_transforms.h"
#include "grid/pointer_painting.h"
#include "tests/support/allocation_counter.h"

namespace velta {
namespace {

// Runs `body` once per iteration and reports the allocations made inside the timed loop.
template <typename Body>
void Measure(benchmark::State& state, Body body) {
    const std::size_t before = testing::AllocationsOnThisThread();
    for (auto _ : state) {
        body();
        benchmark::ClobberMemory();
    }
    state.counters["allocations"] =
        static_cast<double>(testing::AllocationsOnThisThread() - before);
}

// Stands in for the window, which repaints an LED on each write.
class CountingObserver : public PanelObserver {
  public:
    void OnCellWritten(int, bool) override { ++writes; }
    void OnPodMarkWritten(int, bool) override { ++writes; }
    void OnPodLedColorsChanged(int, Color, Color) override { ++writes; }
    long writes = 0;
};

void BM_SampleTick(benchmark::State& state, bool rightButton) {
    PanelState panel;
    CountingObserver observer;
    panel.SetObserver(&observer);
    const PointerSample sample{300, 100, rightButton, false};
    Measure(state, [&] { SampleTick(panel, sample); });
    benchmark::DoNotOptimize(observer.writes);
}
BENCHMARK_CAPTURE(BM_SampleTick, NoButton, false)->Name("BM_SampleTickNoButton");
BENCHMARK_CAPTURE(BM_SampleTick, Painting, true)->Name("BM_SampleTickPainting");

template <void (*Command)(PanelState&)>
void BM_GridCommand(benchmark::State& state) {
    PanelState panel;
    panel.SetFillMode(FillMode::Copy);
    for (int i = 0; i < kCellCount; i += 3)
        panel.SetCell(i, true);
    CountingObserver observer;
    panel.SetObserver(&observer);
    Measure(state, [&] { Command(panel); });
    benchmark::DoNotOptimize(observer.writes);
}
BENCHMARK(BM_GridCommand<SelectAll>)->Name("BM_SelectAll");
BENCHMARK(BM_GridCommand<DeselectAll>)->Name("BM_DeselectAll");
BENCHMARK(BM_GridCommand<InvertGrid>)->Name("BM_InvertGrid");
BENCHMARK(BM_GridCommand<ShiftLeft>)->Name("BM_ShiftLeft");
BENCHMARK(BM_GridCommand<ShiftRight>)->Name("BM_ShiftRight");
BENCHMARK(BM_GridCommand<ShiftUp>)->Name("BM_ShiftUp");
BENCHMARK(BM_GridCommand<ShiftDown>)->Name("BM_ShiftDown");
BENCHMARK(BM_GridCommand<ShiftInwards>)->Name("BM_ShiftInwards");
BENCHMARK(BM_GridCommand<ShiftOutwards>)->Name("BM_ShiftOutwards");
BENCHMARK(BM_GridCommand<ShiftDownwards>)->Name("BM_ShiftDownwards");
BENCHMARK(BM_GridCommand<ShiftUpwards>)->Name("BM_ShiftUpwards");

void BM_DetectChangesNothingChanged(benchmark::State& state) {
    PanelState panel;
    for (FeatureBox box : {FeatureBox::LedGrid, FeatureBox::RgbPods, FeatureBox::LedRings}) {
        panel.SetFeature(box, true);
    }
    for (int i = 0; i < kCellCount; i += 5)
        panel.SetCell(i, true);
    for (int pod = 0; pod < kPodCount; ++pod)
        panel.SetPodColor(pod, 0x102030u * pod);
    panel.SetRingOn(3, true);
    ChangeTracker tracker(panel);
    tracker.DetectChanges();
    Measure(state, [&] { benchmark::DoNotOptimize(tracker.DetectChanges()); });
}
BENCHMARK(BM_DetectChangesNothingChanged);

class NullBox : public DataCenterSink {
  public:
    void RefreshDataCenter(std::string_view log, std::size_t shownBefore) override {
        benchmark::DoNotOptimize(log.size() - shownBefore);
    }
};

// One export of all three blocks onto a log that already holds range(0) exports (about 2.5 KB
// each): the cost must not grow with the log.
void BM_AppendAllBlocks(benchmark::State& state) {
    PanelState panel;
    for (int i = 0; i < kCellCount; i += 7)
        panel.SetCell(i, true);
    NullBox box;
    DataCenterLog log(panel, box);
    constexpr FeatureMask kAll = feature::kLedGrid | feature::kRgbPods | feature::kLedRings;
    for (std::int64_t i = 0; i < state.range(0); ++i)
        log.AppendBlocks(kAll);
    Measure(state, [&] { log.AppendBlocks(kAll); });
    state.counters["log_MB"] = static_cast<double>(log.Text().size()) / 1e6;
}
BENCHMARK(BM_AppendAllBlocks)->Arg(0)->Arg(4000)->Iterations(2000);

}  // namespace
}  // namespace velta
