// UTF-16, the text of Windows' wide calls (command line, device paths, error messages), to and
// from the UTF-8 the program keeps everywhere else. Plain functions, so they run and are tested on
// every system.
#pragma once

#include <string>
#include <string_view>

namespace velta {

// A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// Bytes that are not well-formed UTF-8 become U+FFFD, one for each such byte.
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace velta
