#include "device/text_check.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "device/device_reports.h"

namespace velta {

namespace {

struct Range {
    std::uint8_t low;
    std::uint8_t high;
};

// Length of the well-formed UTF-8 character at the start of s, or 0 when its first byte does not
// begin one. The second byte's range depends on the lead byte: that is what rules out overlong
// forms, surrogates and code points above U+10FFFF.
std::size_t WellFormedLength(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
    const std::uint8_t lead = byte(0);
    std::size_t length = 0;
    Range second{0x80, 0xBF};
    if (lead <= 0x7F) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            second = {0xA0, 0xBF};
        if (lead == 0xED)
            second = {0x80, 0x9F};
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            second = {0x90, 0xBF};
        if (lead == 0xF4)
            second = {0x80, 0x8F};
    } else {
        return 0;
    }
    if (s.size() < length)
        return 0;
    if (byte(1) < second.low || byte(1) > second.high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

char32_t CodePoint(std::string_view unit) {
    const auto byte = [&](std::size_t i) { return static_cast<char32_t>(unit[i]) & 0xFFu; };
    switch (unit.size()) {
        case 2:
            return (byte(0) & 0x1Fu) << 6 | (byte(1) & 0x3Fu);
        case 3:
            return (byte(0) & 0x0Fu) << 12 | (byte(1) & 0x3Fu) << 6 | (byte(2) & 0x3Fu);
        case 4:
            return (byte(0) & 0x07u) << 18 | (byte(1) & 0x3Fu) << 12 | (byte(2) & 0x3Fu) << 6 |
                   (byte(3) & 0x3Fu);
        default:
            return byte(0);
    }
}

std::string NameUnit(std::string_view unit) {
    char buffer[32];
    if (WellFormedLength(unit) != unit.size()) {
        std::snprintf(buffer, sizeof buffer, "byte 0x%02X", static_cast<unsigned>(unit[0]) & 0xFFu);
        return buffer;
    }
    const char32_t code = CodePoint(unit);
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(code));
    std::string name = buffer;
    // Controls are named by number only: printed raw they would garble the terminal.
    if (code >= 0xA0)
        name.append(" \"").append(unit).append("\"");
    return name;
}

}  // namespace

std::vector<std::string_view> SplitEncoderUnits(std::string_view utf8) {
    std::vector<std::string_view> units;
    std::size_t at = 0;
    while (at < utf8.size()) {
        const std::size_t length = std::max<std::size_t>(WellFormedLength(utf8.substr(at)), 1);
        units.push_back(utf8.substr(at, length));
        at += length;
    }
    return units;
}

TextCheck CheckText(std::string_view utf8) {
    TextCheck check;
    const std::vector<std::string_view> units = SplitEncoderUnits(utf8);
    check.encodedBytes = units.size();
    for (std::size_t i = 0; i < units.size(); ++i) {
        const std::string_view unit = units[i];
        if (i >= kTextPayloadBytes) {
            check.cut =
                std::string(utf8.substr(static_cast<std::size_t>(unit.data() - utf8.data())));
            break;
        }
        // The encoder itself decides what becomes "?", so the warning can't disagree with the
        // bytes sent.
        if (unit != "?" && EncodeWindows1252(unit, 1) == "?") {
            std::string name = NameUnit(unit);
            if (std::find(check.replaced.begin(), check.replaced.end(), name) ==
                check.replaced.end())
                check.replaced.push_back(std::move(name));
        }
    }
    return check;
}

}  // namespace velta
