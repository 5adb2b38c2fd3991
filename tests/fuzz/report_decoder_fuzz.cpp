// Any bytes, cut into 65-byte reports, decode and describe without fault and leave the display
// state within its ranges; the same bytes read as text either parse into reports that format back
// to lines that parse to the same reports, or fail with a message.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "display/report_decoder.h"
#include "display/report_hex.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velta::ReportDecoder decoder;
    velta::DeviceReport previous{};
    bool previousIsGrid = false;
    for (std::size_t at = 0; at + velta::kReportSize <= size; at += velta::kReportSize) {
        velta::DeviceReport report{};
        std::copy_n(data + at, velta::kReportSize, report.begin());
        const velta::DeviceReport* grid = previousIsGrid ? &previous : nullptr;
        Check(!velta::DescribeReport(report, grid).empty());
        previousIsGrid = velta::ReadReport(report, grid).kind == velta::ReportKind::Grid;
        previous = report;
        decoder.Feed(report);
    }
    const velta::DisplayState& state = decoder.State();
    for (const std::uint16_t column : state.columns)
        Check(column <= 0x0FFF);
    for (const std::uint16_t ring : state.rings)
        Check(ring <= 4095);
    Check(state.scrollSpeed >= 0 && state.scrollSpeed <= 15);
    Check(state.gridBrightness >= 0 && state.gridBrightness <= 15);
    Check(state.textBytes.size() <= velta::kTextPayloadBytes);
    Check(state.textBytes.find('\0') == std::string::npos);
    std::uint64_t total = 0;
    for (const std::uint64_t count : state.reportCounts)
        total += count;
    Check(total == size / velta::kReportSize);

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const velta::ReportHexLines lines = velta::ParseReportHexLines(text);
    Check(lines.ok == lines.error.empty());
    for (const velta::DeviceReport& report : lines.reports) {
        velta::DeviceReport again{};
        std::string error;
        Check(velta::ParseReportHex(velta::FormatReportHex(report), again, error));
        Check(again == report);
    }
    return 0;
}
