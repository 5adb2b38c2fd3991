#include "device/text_check.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "device/device_reports.h"

namespace velta {

namespace {

// Length of the well-formed UTF-8 character at the start of s, or 0 when it does not begin one:
// the encoder's own reading.
std::size_t WellFormedLength(std::string_view s) {
    char32_t unused = 0;
    return DecodeUtf8(s, 0, unused);
}

std::string NameUnit(std::string_view unit) {
    char buffer[32];
    char32_t code = 0;
    if (DecodeUtf8(unit, 0, code) != unit.size()) {
        std::snprintf(buffer, sizeof buffer, "byte 0x%02X", static_cast<unsigned>(unit[0]) & 0xFFu);
        return buffer;
    }
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
