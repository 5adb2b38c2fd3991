#include "device/text_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/device_reports.h"

namespace velta {
namespace {

using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> replaced;
    std::size_t encodedBytes;
};

class TextCheckTest : public ::testing::TestWithParam<Case> {};

TEST_P(TextCheckTest, NamesWhatBecomesAQuestionMark) {
    const Case& c = GetParam();
    const TextCheck check = CheckText(c.text);
    EXPECT_THAT(check.replaced, ElementsAreArray(c.replaced));
    EXPECT_EQ(check.encodedBytes, c.encodedBytes);
    EXPECT_THAT(check.cut, IsEmpty());
}

TEST_P(TextCheckTest, SplitsTheTextAsTheEncoderReadsIt) {
    // Each unit is one byte on the display, and units encoded one by one give the bytes the
    // encoder gives for the whole text: otherwise the warnings would name the wrong characters.
    const std::string& text = GetParam().text;
    std::string oneByOne;
    for (const std::string_view unit : SplitEncoderUnits(text)) {
        const std::string byte = EncodeWindows1252(unit, 1);
        ASSERT_EQ(byte.size(), 1u);
        oneByOne += byte;
    }
    EXPECT_EQ(oneByOne, EncodeWindows1252(text, text.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextCheckTest,
    ::testing::Values(
        Case{"Ascii", "Hello ?", {}, 7},
        Case{"Latin1AndTheEuro", "Caf\xC3\xA9 \xE2\x82\xAC \xC5\x93", {}, 8},
        Case{"GreekNamedOnce", "\xCE\xA9\xCE\xA9x", {"U+03A9 \"\xCE\xA9\""}, 3},
        Case{"Emoji", "\xF0\x9F\x98\x80", {"U+1F600 \"\xF0\x9F\x98\x80\""}, 1},
        Case{"C1ControlByNumberOnly", "\xC2\x85", {"U+0085"}, 1},
        Case{"EuroCutShort", "\xE2\x82\x41", {"byte 0xE2", "byte 0x82"}, 3},
        Case{"StrayContinuationAndBadLeads",
             "\x80\xC0\xFF",
             {"byte 0x80", "byte 0xC0", "byte 0xFF"},
             3},
        Case{"Overlong", "\xE0\x80\xAF", {"byte 0xE0", "byte 0x80", "byte 0xAF"}, 3},
        Case{"Surrogate", "\xED\xA0\x80", {"byte 0xED", "byte 0xA0", "byte 0x80"}, 3},
        Case{"AboveUnicode", "\xF4\x90\x80\x80", {"byte 0xF4", "byte 0x90", "byte 0x80"}, 4},
        Case{"TruncatedAtEnd", "ab\xF0\x9F\x98", {"byte 0xF0", "byte 0x9F", "byte 0x98"}, 5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextCheckCutTest, CutsAfterSixtyTwoUnitsAndOnlyNamesWhatIsSent) {
    const std::string sent(61, 'a');
    // The 62nd unit is an omega (sent as "?"); the 63rd, a Cyrillic letter, is cut and not named.
    const TextCheck check = CheckText(sent +
                                      "\xCE\xA9"
                                      "\xD0\x96z");
    EXPECT_THAT(check.replaced, ElementsAreArray({"U+03A9 \"\xCE\xA9\""}));
    EXPECT_EQ(check.encodedBytes, 64u);
    EXPECT_EQ(check.cut, "\xD0\x96z");
    EXPECT_THAT(CheckText(std::string(62, 'b')).cut, IsEmpty());
}

}  // namespace
}  // namespace velta
