#include "device/device_reports.h"

#include <algorithm>
#include <cstddef>

namespace velta {

namespace {

DeviceReport CommandReport(std::uint8_t command) {
    DeviceReport report{};
    report[1] = command;
    return report;
}

void PutWord(DeviceReport& report, std::size_t at, std::uint32_t word) {
    report[at] = static_cast<std::uint8_t>(word & 0xFFu);
    report[at + 1] = static_cast<std::uint8_t>((word >> 8) & 0xFFu);
}

std::uint8_t Nibble(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 15));
}

// Windows-1252 bytes 0x80..0x9F and the code points they stand for; 0 marks the five bytes
// the code page leaves undefined.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char ToWindows1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (std::size_t i = 0; i < std::size(kHighControls); ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == cp)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

bool IsContinuation(unsigned char b) {
    return (b & 0xC0u) == 0x80u;
}

}  // namespace

std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& cp) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    unsigned char low = 0x80;  // allowed range of the second byte
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0Fu;
        // After E0 a byte below A0 would spell an overlong form, after ED one above 9F a
        // surrogate (U+D800..U+DFFF).
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07u;
        // After F0 a byte below 90 would be overlong, after F4 one above 8F beyond U+10FFFF.
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - pos < length)
        return 0;
    const auto second = static_cast<unsigned char>(text[pos + 1]);
    if (second < low || second > high)
        return 0;
    cp = (cp << 6) | (second & 0x3Fu);
    for (std::size_t i = 2; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if (!IsContinuation(next))
            return 0;
        cp = (cp << 6) | (next & 0x3Fu);
    }
    return length;
}

char32_t Windows1252CodePoint(std::uint8_t byte) {
    if (byte < 0x80 || byte >= 0xA0)
        return byte;
    const char32_t cp = kHighControls[byte - 0x80];
    return cp != 0 ? cp : 0xFFFD;
}

DeviceReport GridReport(const PanelState::LedData& ledData) {
    DeviceReport report = CommandReport(kCommandGrid);
    for (std::size_t column = 0; column < 31; ++column) {
        PutWord(report, 3 + 2 * column, ledData[column]);
    }
    return report;
}

void GridTailReport(DeviceReport& report, std::uint32_t lastColumnWord) {
    // Only the first half is rewritten: the upper half keeps repeating columns 15..30 of the
    // grid report, which is the frame the transmitter expects for the tail.
    std::fill(report.begin() + 1, report.begin() + 33, std::uint8_t{0});
    PutWord(report, 1, lastColumnWord);
}

DeviceReport PodReport(const PanelState::RgbData& rgbData) {
    DeviceReport report = CommandReport(kCommandPods);
    std::copy_n(rgbData.begin(), kRgbDataUsed, report.begin() + 3);
    return report;
}

DeviceReport RingReport(const PanelState::RingData& ringData, int scrollSpeed, int gridBrightness) {
    DeviceReport report = CommandReport(kCommandRings);
    std::copy(ringData.begin(), ringData.end(), report.begin() + 3);
    report[27] = Nibble(scrollSpeed);
    report[28] = Nibble(gridBrightness);
    return report;
}

DeviceReport TextReport(std::string_view utf8Text) {
    DeviceReport report = CommandReport(kCommandText);
    const std::string bytes = EncodeWindows1252(utf8Text, kTextPayloadBytes);
    std::copy(bytes.begin(), bytes.end(), report.begin() + 3);
    return report;
}

DeviceReport RfOnReport() {
    return CommandReport(kCommandRfOn);
}
DeviceReport RfOffReport() {
    return CommandReport(kCommandRfOff);
}

std::string EncodeWindows1252(std::string_view utf8, std::size_t maxBytes) {
    std::string out;
    out.reserve(std::min(utf8.size(), maxBytes));
    std::size_t pos = 0;
    while (pos < utf8.size() && out.size() < maxBytes) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(utf8, pos, cp);
        if (length == 0) {
            // One '?' for the offending byte; any continuation bytes after it are each
            // offending bytes of their own on the next rounds.
            out.push_back('?');
            ++pos;
        } else {
            out.push_back(ToWindows1252(cp));
            pos += length;
        }
    }
    return out;
}

}  // namespace velta
