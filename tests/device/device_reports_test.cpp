#include "device/device_reports.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include "expected_report.h"

namespace velta {
namespace {

using testing::Expected;

std::string Repeat(std::string_view unit, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += unit;
    return text;
}

std::string Alphabet(std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i)
        text.push_back(static_cast<char>('A' + i % 26));
    return text;
}

TEST(GridReportTest, KnownPictures) {
    const struct {
        int column;
        std::uint32_t word;
        DeviceReport grid;
        DeviceReport tail;
    } cases[] = {
        {31, 0x000, Expected({{1, 0x11}}), {}},
        {31, 0x001, Expected({{1, 0x11}}), Expected({{1, 0x01}})},
        {31, 0xFFF, Expected({{1, 0x11}}), Expected({{1, 0xFF}, {2, 0x0F}})},
        {15, 0xFFF, Expected({{1, 0x11}, {33, 0xFF}, {34, 0x0F}}),
         Expected({{33, 0xFF}, {34, 0x0F}})},
        {14, 0xFFF, Expected({{1, 0x11}, {31, 0xFF}, {32, 0x0F}}), {}},
        {0, 0x900, Expected({{1, 0x11}, {4, 0x09}}), {}},                        // rows 8 and 11
        {30, 0x080, Expected({{1, 0x11}, {63, 0x80}}), Expected({{63, 0x80}})},  // row 7
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "column " << c.column << " word " << c.word);
        PanelState::LedData data{};
        data[c.column] = c.word;
        DeviceReport report = GridReport(data);
        EXPECT_EQ(report, c.grid);
        GridTailReport(report, data[31]);
        EXPECT_EQ(report, c.tail);
    }
}

// Random pictures, with the expected bytes worked out from the cells themselves rather than
// from the packed words.
TEST(GridReportTest, RandomPicturesMatchCellLayout) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        PanelState panel;
        DeviceReport grid = Expected({{1, 0x11}});
        DeviceReport tail{};
        for (int row = 0; row < kRows; ++row) {
            const auto bit = static_cast<std::uint8_t>(1u << (row % 8));
            for (int column = 0; column < kColumns; ++column) {
                const bool on = random() % 3 == 0;
                panel.SetCell(row, column, on);
                if (on && column < 31)
                    grid[(row < 8 ? 3 : 4) + 2 * column] |= bit;
                if (on && column == 31)
                    tail[row < 8 ? 1 : 2] |= bit;
            }
        }
        for (int at = 33; at <= 64; ++at)
            tail[at] = grid[at];
        DeviceReport report = GridReport(panel.LED_data());
        ASSERT_EQ(report, grid) << "round " << round;
        GridTailReport(report, panel.LED_data()[31]);
        ASSERT_EQ(report, tail) << "round " << round;
    }
}

TEST(PodReportTest, PodsInRedGreenBlueOrderAndNothingBeyond) {
    PanelState::RgbData data{};
    data.fill(0xAA);  // bytes 60..119 of the array are not pod colours
    DeviceReport expected = Expected({{1, 0x12}});
    for (int at = 0; at < 3 * kPodCount; ++at)
        expected[3 + at] = data[at] = static_cast<std::uint8_t>(at + 1);
    EXPECT_EQ(PodReport(data), expected);
}

TEST(RingReportTest, Layouts) {
    const struct {
        int ring;  // the one ring on, -1 for none
        int level;
        int scrollSpeed;
        int gridBrightness;
        DeviceReport expected;
    } cases[] = {
        {0, 4095, 15, 0, Expected({{1, 0x13}, {3, 0xFF}, {4, 0x0F}, {27, 0x0F}})},
        {11, 0x123, 0, 7, Expected({{1, 0x13}, {25, 0x23}, {26, 0x01}, {28, 0x07}})},
        {-1, 0, 16, -1, Expected({{1, 0x13}, {27, 0x0F}})},  // out of range values clamp
        {-1, 0, -300, 300, Expected({{1, 0x13}, {28, 0x0F}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "ring " << c.ring << " speed " << c.scrollSpeed);
        PanelState::RingData data{};
        if (c.ring >= 0) {
            data[2 * c.ring] = static_cast<std::uint8_t>(c.level & 0xFF);
            data[2 * c.ring + 1] = static_cast<std::uint8_t>(c.level >> 8);
        }
        EXPECT_EQ(RingReport(data, c.scrollSpeed, c.gridBrightness), c.expected);
    }
}

TEST(FixedReportsTest, KnownBytes) {
    PanelState panel;
    panel.SetPodColor(19, MakeColor(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(PodReport(panel.RGB_data()),
              Expected({{1, 0x12}, {60, 0xFF}, {61, 0xFF}, {62, 0xFF}}));
    EXPECT_EQ(RfOnReport(), Expected({{1, 0xF0}}));
    EXPECT_EQ(RfOffReport(), Expected({{1, 0xF1}}));
    EXPECT_EQ(TextReport("Hi"), Expected({{1, 0x14}, {3, 0x48}, {4, 0x69}}));
    // The byte after the view would complete the character; it must not be looked at.
    EXPECT_EQ(TextReport(std::string_view("ok\xC3\xA9").substr(0, 3)),
              Expected({{1, 0x14}, {3, 'o'}, {4, 'k'}, {5, '?'}}));
}

TEST(TextReportTest, PayloadIsTheFirst62EncodedBytes) {
    struct Case {
        const char* name;
        std::string text;
        std::string payload;  // zero-padded to 62 bytes
    };
    std::vector<Case> cases = {
        {"greek", Repeat("\xCE\xB1", 100000), std::string(62, '?')},          // U+03B1
        {"emoji", Repeat("\xF0\x9F\x98\x80", 100000), std::string(62, '?')},  // U+1F600
        {"euro", Repeat("\xE2\x82\xAC", 100000), std::string(62, '\x80')},    // U+20AC
        {"euro is the 62nd byte", std::string(61, 'x') + "\xE2\x82\xAC" + "y",
         std::string(61, 'x') + "\x80"},
        {"euro is cut", std::string(62, 'x') + "\xE2\x82\xAC", std::string(62, 'x')},
    };
    for (std::size_t length : {0u, 1u, 61u, 62u, 63u, 70u, 100000u})
        cases.push_back({"ascii", Alphabet(length), Alphabet(std::min<std::size_t>(length, 62))});
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.name << " of " << c.text.size() << " bytes");
        DeviceReport expected = Expected({{1, 0x14}});
        for (std::size_t i = 0; i < c.payload.size(); ++i)
            expected[3 + i] = static_cast<std::uint8_t>(c.payload[i]);
        EXPECT_EQ(TextReport(c.text), expected);
    }
}

TEST(EncodeWindows1252Test, Conversions) {
    struct Case {
        const char* name;
        std::string_view utf8;
        std::string_view expected;
        std::size_t maxBytes = 1000;
    };
    const std::string_view nul("a\0b", 3);
    // The bytes after each view would complete its sequence; they must not be looked at.
    const std::string_view completed = "ok\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    const std::string huge(1'000'000, '\xE9');  // invalid throughout
    const std::string questions62(62, '?');
    const Case cases[] = {
        {"empty", "", ""},
        {"ascii", "Hello, 123!", "Hello, 123!"},
        {"controls and DEL", "\t\n\x7F", "\t\n\x7F"},
        {"nul is kept as a byte", nul, nul},
        {"latin-1 upper half", "\xC2\xA0\xC2\xA9\xC3\x80\xC3\xA9\xC3\xBF", "\xA0\xA9\xC0\xE9\xFF"},
        {"euro sign", "\xE2\x82\xAC", "\x80"},
        // 0x81, 0x8D, 0x8F, 0x90 and 0x9D are unused in the code page.
        {"all 27 characters at 0x80-0x9F", "€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ",
         "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E\x91\x92\x93\x94\x95\x96\x97\x98"
         "\x99\x9A\x9B\x9C\x9E\x9F"},
        {"C1 controls have no byte", "\xC2\x80\xC2\x81\xC2\x9F", "???"},
        {"greek", "\xCE\x91\xCE\xB2\xCE\xB3", "???"},
        {"cyrillic and CJK", "\xD0\x96\xE4\xB8\xAD", "??"},
        {"emoji is one character", "a\xF0\x9F\x98\x80z", "a?z"},
        {"highest code point", "\xF4\x8F\xBF\xBF", "?"},
        {"replacement character", "\xEF\xBF\xBD", "?"},
        // Invalid UTF-8 gives one '?' per byte.
        {"lone continuation byte", "a\x80z", "a?z"},
        {"bad lead bytes", "\xFE\xFF\xF5\xF8", "????"},
        {"latin-1 byte, not utf-8", "caf\xE9!", "caf?!"},
        {"C0 and C1 overlong leads", "\xC0\xAF\xC1\xBF", "????"},
        {"overlong three-byte", "\xE0\x80\xAF", "???"},
        {"overlong four-byte", "\xF0\x80\x80\xAF", "????"},
        {"surrogate", "\xED\xA0\x80", "???"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "????"},
        {"truncated in the middle", "\xE2\x82z", "??z"},
        {"truncated emoji at the end", "ok\xF0\x9F\x98", "ok???"},
        {"lead byte as last byte", "ok\xC3", "ok?"},
        {"two-byte lead then ascii", "\xC3z", "?z"},
        {"valid after invalid", "\xFF\xC3\xA9", "?\xE9"},
        {"view ends inside 2 bytes", completed.substr(0, 3), "ok?"},
        {"view ends inside 3 bytes", completed.substr(4, 2), "??"},
        {"view ends inside 4 bytes", completed.substr(7, 3), "???"},
        {"max 0", "abc", "", 0},
        {"max 2", "abc", "ab", 2},
        {"max 1 of two euros", "\xE2\x82\xAC\xE2\x82\xAC", "\x80", 1},
        {"max 2 of three invalid", "\xFF\xFF\xFF", "??", 2},
        {"max 62 of a million invalid", huge, questions62, 62},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EncodeWindows1252(c.utf8, c.maxBytes), c.expected);
    }
}

}  // namespace
}  // namespace velta
