// What the display will make of a scrolling text: which characters reach it as "?" and what is
// cut after the bytes one text report carries. The command line and the window warn about both.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velta {

struct TextCheck {
    // Each character (or stray byte of broken UTF-8) the first report carries as "?", named once,
    // in order of first appearance: `U+03A9 "Ω"`, `U+0085` for a control, `byte 0xE2`.
    std::vector<std::string> replaced;
    // Windows-1252 bytes the whole text would take (one per character or stray byte).
    std::size_t encodedBytes = 0;
    // The part of the text (UTF-8, as given) that does not fit the report.
    std::string cut;
};

TextCheck CheckText(std::string_view utf8);

// Splits UTF-8 the way the text encoder reads it: a well-formed character is one unit, any other
// byte is a unit of its own. Each unit becomes exactly one byte on the display.
std::vector<std::string_view> SplitEncoderUnits(std::string_view utf8);

}  // namespace velta
