// One report as one line of text: the 65 bytes, byte 0 first, as two-digit uppercase hex
// separated by single spaces ("00 11 00 01 ... 0F", 194 characters). The report monitor copies
// reports in this form and the decode command reads it back (docs/PROTOCOL.md, "Hex lines").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_reports.h"

namespace velta {

std::string FormatReportHex(const DeviceReport& report);

// One line. Hex digits may be of either case, bytes may be separated by any run of spaces or
// tabs, and leading or trailing blanks (a CR too) are ignored; anything else fails with a message
// saying what was expected, e.g. "byte 3: \"G1\" is not a two-digit hex byte" or
// "expected 65 bytes, found 64". `report` is left unchanged on failure.
bool ParseReportHex(std::string_view line, DeviceReport& report, std::string& error);

struct ReportHexLines {
    bool ok = false;
    std::vector<DeviceReport> reports;
    std::string error;  // "line 3: expected 65 bytes, found 64"; empty when ok
};

// Text of lines separated by LF or CR LF; blank lines are skipped. All or nothing: on the first
// bad line nothing is returned but the message naming it.
ReportHexLines ParseReportHexLines(std::string_view text);

}  // namespace velta
