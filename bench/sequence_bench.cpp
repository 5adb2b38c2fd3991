// Costs of sequences: the Data Center text of a 1,000-frame sequence, a sequence of 1,000 frames
// written to and read from a design file, and what a frame costs in memory.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstddef>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "export/sequence_export.h"
#include "model/design_file.h"
#include "model/edit_history.h"
#include "model/sequence.h"

namespace velta {
namespace {

// Frames as users build them: each the one before with a few cells, a pod and a ring changed.
std::vector<SequenceFrame> TypicalFrames(std::size_t count) {
    std::mt19937 rng(9);
    std::vector<SequenceFrame> frames;
    SequenceFrame frame;
    for (std::size_t i = 0; i < count; ++i) {
        for (int n = 0; n < 12; ++n)
            frame.cells.flip(rng() % kCellCount);
        frame.pods[rng() % kPodCount] = rng() & 0xFFFFFFu;
        frame.rings.flip(rng() % kRingCount);
        frames.push_back(frame);
    }
    return frames;
}

// Grid, pods and rings ticked, as for most sequences; bytes are the exported text.
void BM_ExportSequence(benchmark::State& state) {
    const std::vector<SequenceFrame> frames =
        TypicalFrames(static_cast<std::size_t>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = ExportSequenceText(frames, 0x07);
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.counters["text_bytes"] = static_cast<double>(bytes);
    state.SetItemsProcessed(state.range(0) * state.iterations());
}
BENCHMARK(BM_ExportSequence)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_SequenceFileWriteRead(benchmark::State& state) {
    Design design;
    design.frames = TypicalFrames(static_cast<std::size_t>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = WriteDesign(design);
        bytes = text.size();
        const DesignReadResult read = ReadDesign(text, "sequence.velta");
        if (!read.Ok())
            state.SkipWithError("round trip failed");
        benchmark::DoNotOptimize(read);
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_SequenceFileWriteRead)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// What one frame costs in a Sequence, and what a list step costs in the edit history (both
// glibc's in-use bytes after minus before, divided by the count).
void BM_FrameMemory(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::vector<SequenceFrame> frames = TypicalFrames(count);
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        auto sequence = std::make_unique<Sequence>();
        for (std::size_t i = 0; i < count; ++i)
            sequence->AddAfter(i == 0 ? kNoFrame : i - 1, frames[i]);
        const std::size_t filled = mallinfo2().uordblks;
        auto history = std::make_unique<EditHistory>();
        for (std::size_t i = 0; i < 1000; ++i)
            sequence->Replace(i % count, frames[(i + 1) % count], history.get());
        const std::size_t recorded = mallinfo2().uordblks;
        state.counters["sizeof_frame"] = static_cast<double>(sizeof(SequenceFrame));
        state.counters["bytes_per_frame"] =
            static_cast<double>(filled - before) / static_cast<double>(count);
        state.counters["bytes_per_list_step"] = static_cast<double>(recorded - filled) / 1000.0;
        benchmark::DoNotOptimize(sequence);
        benchmark::DoNotOptimize(history);
    }
}
BENCHMARK(BM_FrameMemory)->Arg(1000)->Iterations(1);

}  // namespace
}  // namespace velta
