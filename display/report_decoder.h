// Reads the reports written to the transmitter back into what the display holds.
//
// Each report is checked against its layout in docs/PROTOCOL.md before anything is taken from
// it: byte 0 and byte 2 must be 0, every byte a layout does not name must be 0, and named bytes
// must lie in their range (column words and ring levels 12 bits, speed and brightness 0..15,
// only zero padding after the text's terminating 0). A report that fails is counted as not
// understood and changes nothing. The grid tail carries no command; it is recognised by its place
// (the report right after a grid report) and its shape (column 31 in bytes 1..2, bytes 3..32
// zero, bytes 33..64 repeating the grid report's).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "device/device_reports.h"
#include "display/display_state.h"

namespace velta {

struct ReportReading {
    ReportKind kind = ReportKind::NotUnderstood;
    // For a report that was not understood: the first byte that broke the layout of the command
    // in byte 1, or -1 when that command is unknown.
    int badByte = -1;
    std::uint8_t badByteLimit = 0;  // the largest value that byte may have had
};

// Pure: how `report` reads when `previousGrid` is the grid report written just before it, or
// nullptr when the report before it was no grid report (or there was none).
ReportReading ReadReport(const DeviceReport& report, const DeviceReport* previousGrid);

// One line for people: "grid, columns 0-30", "grid tail, column 31", "pods",
// "rings, speed 15, brightness 15", `text "Hello" (5 bytes)`, "RF on", "RF off",
// "unknown command 0x42", "pods not understood: byte 63 is 0x01, expected 0x00".
// `previousGrid` as for ReadReport.
// Windows-1252 text as one printable, quoted line of UTF-8: quotes, backslashes and control
// bytes escaped.
std::string QuoteDisplayText(std::string_view windows1252);
std::string DescribeReport(const DeviceReport& report, const DeviceReport* previousGrid);
// The same for a report already read (`reading` is what ReadReport gave for it).
std::string DescribeReport(const DeviceReport& report, const ReportReading& reading);
// The short name of a kind: "grid", "grid tail", "pods", "rings", "text", "RF on", "RF off",
// "not understood".
std::string_view ReportKindName(ReportKind kind);

// Windows-1252 to UTF-8; the five bytes the code page leaves undefined become U+FFFD.
std::string Windows1252ToUtf8(std::string_view bytes);

class ReportDecoder {
  public:
    ReportDecoder();

    // Every report written successfully, in the order it was written; returns how it was read
    // (the tail known by its place). Never allocates once the text has been seen at full length.
    ReportReading Feed(const DeviceReport& report);
    const DisplayState& State() const { return state_; }

  private:
    void Apply(const DeviceReport& report, ReportKind kind);

    DisplayState state_;
    DeviceReport lastGrid_{};
    bool lastWasGrid_ = false;
};

}  // namespace velta
