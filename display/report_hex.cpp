#include "display/report_hex.h"

namespace velta {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A token shown in an error message: at most 16 characters, so a huge garbage token does not
// become a huge message.
std::string Shown(std::string_view token) {
    return token.size() <= 16 ? std::string(token) : std::string(token.substr(0, 16)) + "...";
}

}  // namespace

std::string FormatReportHex(const DeviceReport& report) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string line;
    line.reserve(kReportSize * 3 - 1);
    for (std::size_t i = 0; i < kReportSize; ++i) {
        if (i != 0)
            line.push_back(' ');
        line.push_back(kDigits[report[i] >> 4]);
        line.push_back(kDigits[report[i] & 0x0F]);
    }
    return line;
}

bool ParseReportHex(std::string_view line, DeviceReport& report, std::string& error) {
    DeviceReport parsed{};
    std::size_t count = 0;
    std::size_t pos = 0;
    while (true) {
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        if (pos == line.size())
            break;
        std::size_t end = pos;
        while (end < line.size() && !IsBlank(line[end]))
            ++end;
        const std::string_view token = line.substr(pos, end - pos);
        const int high = HexValue(token[0]);
        const int low = token.size() == 2 ? HexValue(token[1]) : -1;
        if (high < 0 || low < 0) {
            error = "byte " + std::to_string(count) + ": \"" + Shown(token) +
                    "\" is not a two-digit hex byte";
            return false;
        }
        if (count == kReportSize) {
            error = "expected 65 bytes, found more";
            return false;
        }
        parsed[count++] = static_cast<std::uint8_t>(high * 16 + low);
        pos = end;
    }
    if (count != kReportSize) {
        error = "expected 65 bytes, found " + std::to_string(count);
        return false;
    }
    report = parsed;
    return true;
}

ReportHexLines ParseReportHexLines(std::string_view text) {
    ReportHexLines result;
    std::size_t lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t newline = text.find('\n', pos);
        const std::size_t end = newline == std::string_view::npos ? text.size() : newline;
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos)
            continue;
        DeviceReport report{};
        std::string error;
        if (!ParseReportHex(line, report, error)) {
            return {false, {}, "line " + std::to_string(lineNumber) + ": " + error};
        }
        result.reports.push_back(report);
    }
    result.ok = true;
    return result;
}

}  // namespace velta
