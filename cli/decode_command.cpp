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

// The display's text as one printable line: quotes, backslashes and control characters escaped
// the way the text report's description writes them.
std::string Quoted(const std::string& utf8) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out.push_back(kDigits[byte >> 4]);
            out.push_back(kDigits[byte & 0xF]);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

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
        const DeviceReport* previousGrid = nullptr;
        for (const DeviceReport& report : lines.reports) {
            const ReportReading reading = ReadReport(report, previousGrid);
            context.out << DescribeReport(report, reading) << '\n';
            decoder.Feed(report);
            previousGrid = reading.kind == ReportKind::Grid ? &report : nullptr;
        }
        const DisplayState& state = decoder.State();
        context.out << "display: " << LitCells(state) << " of " << kCellCount << " cells lit, RF "
                    << (state.rfOn ? "on" : "off") << ", text " << Quoted(state.textUtf8);
        if (const std::uint64_t bad = state.NotUnderstoodCount(); bad > 0)
            context.out << ", " << bad << (bad == 1 ? " report" : " reports") << " not understood";
        context.out << '\n';
        return static_cast<int>(kExitOk);
    };
}

}  // namespace velta::cli
