// velta decode: reports as the report monitor copies them, read back into what the display does
// with each and what it shows at the end.
#include <cstddef>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "display/report_decoder.h"
#include "display/report_hex.h"

namespace velta::cli {

namespace {

// A report line is 194 characters; this leaves room for any blanks around the bytes, and is what
// is held of the input at any time.
constexpr std::size_t kMaxLineBytes = 64 * 1024;

struct DecodeInput {
    std::vector<DeviceReport> reports;
    std::string error;  // empty when every line was read
};

// Line by line, each at most kMaxLineBytes: all or nothing, like ParseReportHexLines, but a
// longer line (or an endless one) is refused as soon as it is seen, without reading on.
DecodeInput ReadReportLines(std::istream& in) {
    DecodeInput input;
    std::string line(kMaxLineBytes + 1, '\0');
    for (std::size_t number = 1;; ++number) {
        in.getline(line.data(), static_cast<std::streamsize>(line.size()));
        const auto length = static_cast<std::size_t>(in.gcount());
        if (in.fail() && !in.eof() && length == kMaxLineBytes) {
            input.error = "line " + std::to_string(number) + ": longer than " +
                          std::to_string(kMaxLineBytes) +
                          " bytes; a report is one line of 65 hex bytes";
            return input;
        }
        if (length == 0 && (in.eof() || in.fail()))
            break;  // the end of the input
        // gcount counts the newline that getline consumed.
        const std::string_view text(line.data(), in.eof() || in.fail() ? length : length - 1);
        if (text.find_first_not_of(" \t\r") != std::string_view::npos) {
            DeviceReport report{};
            std::string error;
            if (!ParseReportHex(text, report, error)) {
                input.error = "line " + std::to_string(number) + ": " + error;
                return input;
            }
            input.reports.push_back(report);
        }
        if (in.eof() || in.fail())
            break;
    }
    return input;
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
        const DecodeInput lines = ReadReportLines(context.in);
        if (!lines.error.empty()) {
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
