// velta decode: reports as the report monitor copies them, read back into what the display does
// with each and what it shows at the end.
#include <cstddef>
#include <istream>
#include <iterator>
#include <ostream>
#include <string>

#include "cli/command.h"
#include "display/report_decoder.h"
#include "display/report_hex.h"

namespace velta::cli {

namespace {

int LitCells(const DisplayState& state) {
    int lit = 0;
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column)
            lit += state.Lit(row, column) ? 1 : 0;
    }
    return lit;
}

}  // namespace

CommandRun SetupDecode(CLI::App& /*command*/) {
    return [](Context& context) {
        const std::string text{std::istreambuf_iterator<char>(context.in),
                               std::istreambuf_iterator<char>()};
        const ReportHexLines lines = ParseReportHexLines(text);
        if (!lines.ok) {
            context.err << "velta: " << lines.error << '\n';
            return static_cast<int>(kExitUsage);
        }
        // Every report counts as written successfully: a copied line is a report that went out.
        ReportDecoder decoder;
        for (const DeviceReport& report : lines.reports)
            context.out << DescribeReport(report, decoder.Feed(report)) << '\n';
        const DisplayState& state = decoder.State();
        context.out << "display: " << LitCells(state) << " of " << kCellCount << " cells lit, RF "
                    << (state.rfOn ? "on" : "off") << ", text "
                    << QuoteDisplayText(state.textBytes);
        if (const std::uint64_t bad = state.NotUnderstoodCount(); bad > 0)
            context.out << ", " << bad << (bad == 1 ? " report" : " reports") << " not understood";
        context.out << '\n';
        return static_cast<int>(kExitOk);
    };
}

}  // namespace velta::cli
