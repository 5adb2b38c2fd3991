#include "device/utf16.h"

#include <gtest/gtest.h>

#include <string>

namespace velta {
namespace {

// Each case both ways where the text is well formed; a broken side becomes U+FFFD.
TEST(Utf16, ConvertsBothWaysAndReplacesWhatIsBroken) {
    const struct {
        const char* name;
        std::u16string utf16;
        std::string utf8;
        bool roundTrip;
    } cases[] = {
        {"empty", u"", "", true},
        {"ascii and a device path", u"\\\\?\\hid#vid_04d8&pid_003f", "\\\\?\\hid#vid_04d8&pid_003f",
         true},
        {"two and three bytes", u"Gr\u00fc\u00dfe \u20ac",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC",
         true},
        {"a surrogate pair is one character", u"a\U0001D11Eb",
         "a\xF0\x9D\x84\x9E"
         "b",
         true},
        {"the last character of each length", u"\u007F\u07FF\uFFFF\U0010FFFF",
         "\x7F\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF", true},
        {"a lone high surrogate", std::u16string{u'a', char16_t(0xD834), u'b'},
         "a\xEF\xBF\xBD"
         "b",
         false},
        {"a lone low surrogate", std::u16string{char16_t(0xDD1E)}, "\xEF\xBF\xBD", false},
        {"a high surrogate at the end", std::u16string{u'a', char16_t(0xD834)}, "a\xEF\xBF\xBD",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
        if (c.roundTrip) {
            EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
        }
    }
    // Each byte that is not well-formed UTF-8 (a stray continuation, a cut sequence, an overlong
    // form, an encoded surrogate) is one U+FFFD.
    EXPECT_EQ(Utf8ToUtf16("a\x80"
                          "b\xE2\x82"),
              u"a\uFFFDb\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
}

}  // namespace
}  // namespace velta
