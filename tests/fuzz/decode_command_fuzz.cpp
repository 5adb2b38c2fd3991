// velta decode reads its input line by line, at most 64 KiB a line; on any input without a longer
// line it must agree with ParseReportHexLines on the whole text: the same error, or the same
// reports described. A longer line is refused naming it, and nothing else is printed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "cli/velta_cli.h"
#include "display/report_hex.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

constexpr std::size_t kMaxLine = 64 * 1024;

// The number of the first line longer than kMaxLine, or 0.
std::size_t FirstLongLine(std::string_view text) {
    std::size_t number = 1;
    for (std::size_t start = 0; start <= text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (end - start > kMaxLine)
            return number;
        start = end + 1;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream in(text);
    std::ostringstream out;
    std::ostringstream err;
    velta::SimulatedTransmitter unused;
    velta::cli::Transports transports;
    transports.simulated = &unused;
    const int code = velta::cli::RunVelta({"decode"}, transports, in, out, err);

    const std::size_t longLine = FirstLongLine(text);
    const velta::ReportHexLines whole = velta::ParseReportHexLines(text);
    // "line N: ..." names the first line the whole-text reader refuses.
    const std::size_t refused = whole.ok ? 0 : std::stoul(whole.error.substr(5));
    if (longLine != 0 && (refused == 0 || refused >= longLine)) {
        // The long line comes first: refused as soon as it is seen.
        Check(code == velta::cli::kExitUsage);
        Check(out.str().empty());
        Check(err.str().rfind("velta: line " + std::to_string(longLine) + ": longer than", 0) == 0);
        return 0;
    }
    if (!whole.ok) {
        Check(code == velta::cli::kExitUsage);
        Check(out.str().empty());
        Check(err.str() == "velta: " + whole.error + "\n");
        return 0;
    }
    Check(code == velta::cli::kExitOk);
    Check(err.str().empty());
    std::size_t lines = 0;
    for (const char ch : out.str())
        lines += ch == '\n' ? 1 : 0;
    Check(lines == whole.reports.size() + 1);  // one per report and the summary
    return 0;
}
