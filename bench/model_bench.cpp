// Costs of design files and the edit history: a design written and read back, one undo or redo
// on a full history, the history's memory after 1,000 typical steps, and hostile files as large
// as the reader takes (1 MiB).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstddef>
#include <random>
#include <string>

#include "model/design_file.h"
#include "model/edit_history.h"

namespace velta {
namespace {

// Stands in for the window, which repaints an LED on each write.
class CountingObserver : public PanelObserver {
  public:
    void OnCellWritten(int, bool) override { ++writes; }
    void OnRingWritten(int, bool) override { ++writes; }
    void OnPodLedColorsChanged(int, Color, Color) override { ++writes; }
    void OnFieldChanged(PanelField) override { ++writes; }
    long writes = 0;
};

// A busy design: half the cells lit, every pod coloured, a 100-character text.
Design TypicalDesign() {
    std::mt19937 rng(1);
    Design design;
    for (int i = 0; i < kCellCount; ++i)
        design.content.cells[static_cast<std::size_t>(i)] = rng() % 2 == 0;
    for (Color& pod : design.content.pods)
        pod = rng() & 0xFFFFFFu;
    design.content.rings = 0x5A5;
    design.content.text = std::string(96, 'A') + "\xE2\x82\xAC!";
    design.features = {true, true, true, false};
    return design;
}

void BM_DesignWrite(benchmark::State& state) {
    const Design design = TypicalDesign();
    for (auto _ : state)
        benchmark::DoNotOptimize(WriteDesign(design));
}
BENCHMARK(BM_DesignWrite);

void BM_DesignRead(benchmark::State& state) {
    const std::string bytes = WriteDesign(TypicalDesign());
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadDesign(bytes, "typical.velta"));
}
BENCHMARK(BM_DesignRead);

void BM_DesignWriteRead(benchmark::State& state) {
    const Design design = TypicalDesign();
    for (auto _ : state) {
        const DesignReadResult read = ReadDesign(WriteDesign(design), "typical.velta");
        if (!read.Ok())
            state.SkipWithError("round trip failed");
        benchmark::DoNotOptimize(read);
    }
}
BENCHMARK(BM_DesignWriteRead);

// One user step of the kinds a session is made of: paint strokes, grid commands, pod colours,
// slider moves and typing in the text box.
void TypicalStep(PanelState& panel, std::mt19937& rng, int step) {
    switch (step % 5) {
        case 0:
            for (int n = 0; n < 8; ++n)
                panel.ToggleCell(static_cast<int>(rng() % kCellCount));
            break;
        case 1:
            for (int i = 0; i < kCellCount; ++i)
                panel.SetCell(i, !panel.Cell((i + 1) % kCellCount));  // a shift left with wrap
            break;
        case 2:
            panel.SetPodColor(static_cast<int>(rng() % kPodCount), rng() & 0xFFFFFFu);
            break;
        case 3:
            panel.SetRingLevel(static_cast<int>(rng() % (kRingLevelMax + 1)));
            break;
        case 4:
            panel.SetScrollText(panel.ScrollText().size() < 200 ? panel.ScrollText() + "x"
                                                                : std::string("Welcome!"));
            break;
    }
}

void FillHistory(EditHistory& history, PanelState& panel, int steps) {
    std::mt19937 rng(3);
    panel.SetScrollText(std::string(100, 'T'));
    for (int step = 0; step < steps; ++step) {
        history.Begin(panel, "Step");
        TypicalStep(panel, rng, step);
        history.End(panel);
    }
}

// Each iteration is one undo and one redo on a history of 1,000 steps, the window's observer
// attached; items are single operations.
void BM_UndoRedo(benchmark::State& state) {
    PanelState panel;
    EditHistory history;
    FillHistory(history, panel, 1000);
    CountingObserver observer;
    panel.SetObserver(&observer);
    for (auto _ : state) {
        history.Undo(panel);
        history.Redo(panel);
    }
    state.SetItemsProcessed(2 * state.iterations());
    benchmark::DoNotOptimize(observer.writes);
}
BENCHMARK(BM_UndoRedo);

// Bytes the allocator holds for the history after 1,000 typical steps (glibc's in-use count
// before and after; the panel and its text exist before the first look).
void BM_HistoryMemory(benchmark::State& state) {
    for (auto _ : state) {
        PanelState panel;
        panel.SetScrollText(std::string(100, 'T'));
        const std::size_t before = mallinfo2().uordblks;
        auto history = std::make_unique<EditHistory>();
        FillHistory(*history, panel, static_cast<int>(state.range(0)));
        const std::size_t after = mallinfo2().uordblks;
        // The panel's own text grew while typing; count the history only.
        const std::size_t textGrowth = panel.ScrollText().capacity();
        state.counters["history_bytes"] = static_cast<double>(after - before - textGrowth);
        state.counters["steps"] = static_cast<double>(history->UndoCount());
        benchmark::DoNotOptimize(history);
    }
}
BENCHMARK(BM_HistoryMemory)->Arg(1000)->Arg(5000)->Iterations(1);

// Hostile files of the largest size the reader takes: it must refuse each quickly.
std::string Hostile(int kind) {
    const std::size_t size = kMaxDesignFileBytes;
    switch (kind) {
        case 0:  // nesting: refused at the 17th level
            return std::string(size, '[');
        case 1: {  // a huge unknown array of numbers: refused at the value limit
            std::string bytes = R"({"x": [0)";
            while (bytes.size() < size - 64)
                bytes += ",0";
            return bytes + R"(], "format": "velta-design", "version": 9})";
        }
        case 2: {  // a long text with a bad byte at its end
            std::string bytes = R"({"format": "velta-design", "version": 1, "text": ")";
            bytes += std::string(size - bytes.size() - 3, 'a');
            return bytes + "\xFF\"}";
        }
        case 3: {  // just under the value limit, then a bad version: both passes run in full
            std::string bytes = R"({"x": [)";
            for (int i = 0; i < 65000; ++i)
                bytes += R"("aaaaaaaaaaaa",)";
            bytes += R"(""], "format": "velta-design", "version": 9})";
            return bytes;
        }
        default:  // one byte too large: refused before parsing
            return std::string(size + 1, ' ');
    }
}

void BM_HostileFileRefused(benchmark::State& state) {
    const std::string bytes = Hostile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const DesignReadResult read = ReadDesign(bytes, "hostile.velta");
        if (read.Ok())
            state.SkipWithError("hostile file accepted");
        benchmark::DoNotOptimize(read);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes.size()) * state.iterations());
}
BENCHMARK(BM_HostileFileRefused)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velta
