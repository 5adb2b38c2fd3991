// Costs of the display side of the tap: decoding one report, describing one, and the journal's
// fixed memory at 10,000 reports.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>
#include <vector>

#include "device/device_reports.h"
#include "display/report_decoder.h"
#include "display/report_journal.h"
#include "tests/support/allocation_counter.h"

namespace {

// The reports of one full update, in the order the sends write them.
std::vector<velta::DeviceReport> OneUpdate() {
    velta::PanelState panel;
    for (int cell = 0; cell < velta::kCellCount; cell += 3)
        panel.SetCell(cell, true);
    for (int pod = 0; pod < velta::kPodCount; ++pod)
        panel.SetPodColor(pod, 0x102030u * static_cast<unsigned>(pod));
    for (int ring = 0; ring < velta::kRingCount; ring += 2)
        panel.SetRingOn(ring, true);
    velta::DeviceReport grid = velta::GridReport(panel.LED_data());
    std::vector<velta::DeviceReport> reports{grid};
    velta::GridTailReport(grid, panel.LED_data()[31]);
    reports.push_back(grid);
    reports.push_back(velta::PodReport(panel.RGB_data()));
    reports.push_back(velta::RingReport(panel.ring_data(), 9, 12));
    reports.push_back(velta::TextReport(std::string(80, 'A')));
    reports.push_back(velta::RfOnReport());
    return reports;
}

// Per report, averaged over the six reports of a full update (grid, tail, pods, rings, a
// 62-byte text, RF on). /0 sends the same update again and again; /1 alternates two texts, so
// every text report brings a text the display does not show yet.
void BM_DecodeReport(benchmark::State& state) {
    std::vector<velta::DeviceReport> reports = OneUpdate();
    velta::DeviceReport otherText = velta::TextReport(std::string(80, 'b'));
    velta::DeviceReport& text = reports[4];
    velta::ReportDecoder decoder;
    for (const auto& r : reports)
        decoder.Feed(r);  // the text's room is taken once
    const bool newText = state.range(0) != 0;
    const std::size_t allocationsBefore = velta::testing::AllocationsOnThisThread();
    for (auto _ : state) {
        if (newText)
            std::swap(text, otherText);
        for (const auto& r : reports)
            decoder.Feed(r);
        benchmark::DoNotOptimize(decoder.State());
    }
    state.counters["allocations"] =
        static_cast<double>(velta::testing::AllocationsOnThisThread() - allocationsBefore);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(reports.size()));
}
BENCHMARK(BM_DecodeReport)->Arg(0)->Arg(1);

void BM_DescribeReport(benchmark::State& state) {
    const std::vector<velta::DeviceReport> reports = OneUpdate();
    for (auto _ : state) {
        const velta::DeviceReport* previous = nullptr;
        for (const auto& r : reports) {
            std::string line = velta::DescribeReport(r, previous);
            benchmark::DoNotOptimize(line);
            previous = &r == &reports[0] ? &r : nullptr;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(reports.size()));
}
BENCHMARK(BM_DescribeReport);

// Recording one report into a full journal; the counters give its memory.
void BM_JournalRecordFull(benchmark::State& state) {
    velta::ReportJournal journal;
    const velta::DeviceReport report = velta::RfOnReport();
    for (std::size_t i = 0; i < velta::ReportJournal::kCapacity; ++i)
        journal.RecordWritten(report, true);
    const std::size_t allocationsBefore = velta::testing::AllocationsOnThisThread();
    for (auto _ : state)
        journal.RecordWritten(report, true);
    state.counters["allocations"] =
        static_cast<double>(velta::testing::AllocationsOnThisThread() - allocationsBefore);
    state.counters["entry_bytes"] = sizeof(velta::JournalEntry);
    state.counters["journal_bytes"] =
        static_cast<double>(sizeof(velta::ReportJournal) +
                            velta::ReportJournal::kCapacity * sizeof(velta::JournalEntry));
}
BENCHMARK(BM_JournalRecordFull);

}  // namespace
