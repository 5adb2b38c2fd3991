// The 65-byte HID output reports the transmitter understands, built as pure functions of the
// packed panel data so every format can be produced and checked without a device.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/panel_state.h"

namespace velta {

constexpr std::size_t kReportSize = 65;  // report id byte 0 plus 64 bytes of output report
using DeviceReport = std::array<std::uint8_t, kReportSize>;

constexpr std::uint8_t kCommandGrid = 0x11;
constexpr std::uint8_t kCommandPods = 0x12;
constexpr std::uint8_t kCommandRings = 0x13;
constexpr std::uint8_t kCommandText = 0x14;
constexpr std::uint8_t kCommandRfOn = 0xF0;
constexpr std::uint8_t kCommandRfOff = 0xF1;

constexpr std::size_t kTextPayloadBytes = 62;

// Columns 0..30 as 16-bit little-endian words in bytes 3..64.
DeviceReport GridReport(const PanelState::LedData& ledData);
// Turns the grid report just written into the tail report for column 31, in place: bytes 1..32
// are cleared, column 31 goes into bytes 1 and 2, bytes 33..64 stay as they were.
void GridTailReport(DeviceReport& report, std::uint32_t lastColumnWord);
DeviceReport PodReport(const PanelState::RgbData& rgbData);
DeviceReport RingReport(const PanelState::RingData& ringData, int scrollSpeed, int gridBrightness);
// The first 62 bytes of the text in Windows-1252; '?' for anything without a byte there.
DeviceReport TextReport(std::string_view utf8Text);
DeviceReport RfOnReport();
DeviceReport RfOffReport();

// Decodes one well-formed UTF-8 sequence at text[pos] into cp. Returns its length, or 0 when the
// bytes there do not start a well-formed sequence (overlong forms, surrogates and code points
// above U+10FFFF are not well formed, nor is a sequence cut short by the end of the text).
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& cp);
// The character a Windows-1252 byte stands for; U+FFFD for the five bytes the code page leaves
// undefined.
char32_t Windows1252CodePoint(std::uint8_t byte);

// UTF-8 to Windows-1252. Characters with no Windows-1252 byte and every byte of invalid UTF-8
// become '?'. Stops once maxBytes bytes have been produced.
std::string EncodeWindows1252(std::string_view utf8, std::size_t maxBytes);

}  // namespace velta
