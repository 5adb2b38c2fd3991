#include "device/device_reports.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace velta {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A 65-byte report that is zero except at the given (byte, value) places.
DeviceReport Expected(std::initializer_list<std::pair<int, int>> bytes) {
    DeviceReport r{};
    for (const auto& [at, value] : bytes)
        r.at(at) = static_cast<std::uint8_t>(value);
    return r;
}

Bytes ToBytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// ---------------------------------------------------------------------------------- grid

struct GridCase {
    const char* name;
    std::vector<std::pair<int, std::uint32_t>> columns;  // column, word
    DeviceReport grid;
    DeviceReport tail;
};

TEST(GridReportTest, KnownPictures) {
    const std::vector<GridCase> cases = {
        {"all off", {}, Expected({{1, 0x11}}), Expected({})},
        {"row 0 of column 31", {{31, 0x001}}, Expected({{1, 0x11}}), Expected({{1, 0x01}})},
        {"column 31 full", {{31, 0xFFF}}, Expected({{1, 0x11}}), Expected({{1, 0xFF}, {2, 0x0F}})},
        {"column 15 full",
         {{15, 0xFFF}},
         Expected({{1, 0x11}, {33, 0xFF}, {34, 0x0F}}),
         Expected({{33, 0xFF}, {34, 0x0F}})},
        {"column 14 full",
         {{14, 0xFFF}},
         Expected({{1, 0x11}, {31, 0xFF}, {32, 0x0F}}),
         Expected({})},
        {"column 0 rows 8 and 11", {{0, 0x900}}, Expected({{1, 0x11}, {4, 0x09}}), Expected({})},
        {"column 30 row 7",
         {{30, 0x080}},
         Expected({{1, 0x11}, {63, 0x80}}),
         Expected({{63, 0x80}})},
    };
    for (const GridCase& c : cases) {
        SCOPED_TRACE(c.name);
        PanelState::LedData data{};
        for (const auto& [column, word] : c.columns)
            data[column] = word;
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
        bool cells[kRows][kColumns] = {};
        for (int row = 0; row < kRows; ++row) {
            for (int column = 0; column < kColumns; ++column) {
                cells[row][column] = (random() % 3) == 0;
                panel.SetCell(row, column, cells[row][column]);
            }
        }
        panel.PackLedData();

        DeviceReport grid{};
        grid[1] = 0x11;
        for (int column = 0; column < 31; ++column) {
            for (int row = 0; row < kRows; ++row) {
                if (!cells[row][column])
                    continue;
                const int at = row < 8 ? 3 + 2 * column : 4 + 2 * column;
                grid[at] |= static_cast<std::uint8_t>(1u << (row % 8));
            }
        }
        DeviceReport tail = grid;
        for (int at = 1; at <= 32; ++at)
            tail[at] = 0;
        for (int row = 0; row < kRows; ++row) {
            if (cells[row][31])
                tail[row < 8 ? 1 : 2] |= static_cast<std::uint8_t>(1u << (row % 8));
        }

        DeviceReport report = GridReport(panel.LED_data());
        ASSERT_EQ(report, grid) << "round " << round;
        GridTailReport(report, panel.LED_data()[31]);
        ASSERT_EQ(report, tail) << "round " << round;
    }
}

// ---------------------------------------------------------------------------------- pods

TEST(PodReportTest, Pod19White) {
    PanelState panel;
    panel.SetPodColor(19, MakeColor(0xFF, 0xFF, 0xFF));
    panel.PackRgbData();
    EXPECT_EQ(PodReport(panel.RGB_data()),
              Expected({{1, 0x12}, {60, 0xFF}, {61, 0xFF}, {62, 0xFF}}));
}

TEST(PodReportTest, EachPodLandsAtItsOffsetInRedGreenBlueOrder) {
    PanelState panel;
    for (int pod = 0; pod < kPodCount; ++pod) {
        panel.SetPodColor(pod, MakeColor(static_cast<std::uint8_t>(pod + 1),
                                         static_cast<std::uint8_t>(0x40 + pod),
                                         static_cast<std::uint8_t>(0x80 + pod)));
    }
    panel.PackRgbData();
    DeviceReport expected{};
    expected[1] = 0x12;
    for (int pod = 0; pod < kPodCount; ++pod) {
        expected[3 + 3 * pod] = static_cast<std::uint8_t>(pod + 1);
        expected[4 + 3 * pod] = static_cast<std::uint8_t>(0x40 + pod);
        expected[5 + 3 * pod] = static_cast<std::uint8_t>(0x80 + pod);
    }
    EXPECT_EQ(PodReport(panel.RGB_data()), expected);
}

TEST(PodReportTest, BytesBeyondThePodsNeverLeak) {
    PanelState::RgbData data{};
    data.fill(0xAA);  // bytes 60..119 of the array are not pod colours
    const DeviceReport report = PodReport(data);
    for (int at = 3; at <= 62; ++at)
        EXPECT_EQ(report[at], 0xAA) << at;
    EXPECT_EQ(report[63], 0);
    EXPECT_EQ(report[64], 0);
}

// ---------------------------------------------------------------------------------- rings

TEST(RingReportTest, Layouts) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> rings;  // ring, level (ring on)
        int scrollSpeed;
        int gridBrightness;
        DeviceReport expected;
    };
    const std::vector<Case> cases = {
        {"ring 0 at 4095, speed 15",
         {{0, 4095}},
         15,
         0,
         Expected({{1, 0x13}, {3, 0xFF}, {4, 0x0F}, {27, 0x0F}})},
        {"ring 11 at 0x123, brightness 7",
         {{11, 0x123}},
         0,
         7,
         Expected({{1, 0x13}, {25, 0x23}, {26, 0x01}, {28, 0x07}})},
        {"out of range levels clamp", {}, 16, -1, Expected({{1, 0x13}, {27, 0x0F}})},
        {"far out of range", {}, -300, 300, Expected({{1, 0x13}, {28, 0x0F}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PanelState::RingData data{};
        for (const auto& [ring, level] : c.rings) {
            data[2 * ring] = static_cast<std::uint8_t>(level & 0xFF);
            data[2 * ring + 1] = static_cast<std::uint8_t>(level >> 8);
        }
        EXPECT_EQ(RingReport(data, c.scrollSpeed, c.gridBrightness), c.expected);
    }
}

// ---------------------------------------------------------------------------------- RF

TEST(RfReportTest, CommandOnly) {
    EXPECT_EQ(RfOnReport(), Expected({{1, 0xF0}}));
    EXPECT_EQ(RfOffReport(), Expected({{1, 0xF1}}));
}

// ---------------------------------------------------------------------------------- text

TEST(TextReportTest, HiAndLengths) {
    EXPECT_EQ(TextReport("Hi"), Expected({{1, 0x14}, {3, 0x48}, {4, 0x69}}));

    for (std::size_t length : {0u, 1u, 61u, 62u, 63u, 70u, 100000u}) {
        SCOPED_TRACE(length);
        std::string text;
        for (std::size_t i = 0; i < length; ++i)
            text.push_back(static_cast<char>('A' + i % 26));
        const DeviceReport report = TextReport(text);
        EXPECT_EQ(report[0], 0);
        EXPECT_EQ(report[1], 0x14);
        EXPECT_EQ(report[2], 0);
        for (std::size_t i = 0; i < kTextPayloadBytes; ++i) {
            const int want = i < length ? 'A' + static_cast<int>(i % 26) : 0;
            ASSERT_EQ(report[3 + i], want) << "payload byte " << i;
        }
    }
}

TEST(TextReportTest, LongNonLatinTextsStopAt62Bytes) {
    std::string greek;
    std::string euros;
    std::string emoji;
    for (int i = 0; i < 100000; ++i) {
        greek += "\xCE\xB1";          // U+03B1
        euros += "\xE2\x82\xAC";      // U+20AC
        emoji += "\xF0\x9F\x98\x80";  // U+1F600
    }
    DeviceReport questions{};
    questions[1] = 0x14;
    for (int at = 3; at <= 64; ++at)
        questions[at] = '?';
    DeviceReport euroBytes = questions;
    for (int at = 3; at <= 64; ++at)
        euroBytes[at] = 0x80;
    EXPECT_EQ(TextReport(greek), questions);
    EXPECT_EQ(TextReport(emoji), questions);
    EXPECT_EQ(TextReport(euros), euroBytes);
}

TEST(TextReportTest, MultiByteCharacterAtTheCut) {
    const std::string ascii61(61, 'x');
    const DeviceReport fits = TextReport(ascii61 + "\xE2\x82\xAC" + "y");
    EXPECT_EQ(fits[63], 'x');
    EXPECT_EQ(fits[64], 0x80);  // the euro sign is the 62nd byte; 'y' is cut
    const DeviceReport cut = TextReport(std::string(62, 'x') + "\xE2\x82\xAC");
    EXPECT_EQ(cut[64], 'x');
}

// --------------------------------------------------------------------- Windows-1252 encoding

TEST(EncodeWindows1252Test, Characters) {
    struct Case {
        const char* name;
        std::string utf8;
        Bytes expected;
    };
    const std::vector<Case> cases = {
        {"empty", "", {}},
        {"ascii", "Hello, 123!", ToBytes("Hello, 123!")},
        {"control characters and DEL", "\t\n\x7F", {0x09, 0x0A, 0x7F}},
        {"nul is kept as a byte", std::string("a\0b", 3), {'a', 0x00, 'b'}},
        {"latin-1 upper half",
         "\xC2\xA0\xC2\xA9\xC3\x80\xC3\xA9\xC3\xBF",
         {0xA0, 0xA9, 0xC0, 0xE9, 0xFF}},
        {"euro sign", "\xE2\x82\xAC", {0x80}},
        {"C1 controls have no byte", "\xC2\x80\xC2\x81\xC2\x9F", ToBytes("???")},
        {"greek", "\xCE\x91\xCE\xB2\xCE\xB3", ToBytes("???")},
        {"cyrillic and CJK", "\xD0\x96\xE4\xB8\xAD", ToBytes("??")},
        {"emoji is one character",
         "a\xF0\x9F\x98\x80"
         "b",
         ToBytes("a?b")},
        {"highest code point", "\xF4\x8F\xBF\xBF", ToBytes("?")},
        {"replacement character", "\xEF\xBF\xBD", ToBytes("?")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ToBytes(EncodeWindows1252(c.utf8, 1000)), c.expected);
    }
}

TEST(EncodeWindows1252Test, AllTwentySevenHighControlCharacters) {
    // The code page's characters at 0x80..0x9F, in byte order; 81, 8D, 8F, 90 and 9D are unused.
    const Bytes expected = {0x80, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89,
                            0x8A, 0x8B, 0x8C, 0x8E, 0x91, 0x92, 0x93, 0x94, 0x95,
                            0x96, 0x97, 0x98, 0x99, 0x9A, 0x9B, 0x9C, 0x9E, 0x9F};
    EXPECT_EQ(ToBytes(EncodeWindows1252("€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ", 1000)), expected);
}

TEST(EncodeWindows1252Test, InvalidUtf8GivesOneQuestionMarkPerByte) {
    struct Case {
        const char* name;
        std::string utf8;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"lone continuation byte", "a\x80z", "a?z"},
        {"bad lead bytes", "\xFE\xFF\xF5\xF8", "????"},
        {"latin-1 byte, not utf-8", "caf\xE9!", "caf?!"},
        {"C0 and C1 overlong leads", "\xC0\xAF\xC1\xBF", "????"},
        {"overlong three-byte", "\xE0\x80\xAF", "???"},
        {"overlong four-byte", "\xF0\x80\x80\xAF", "????"},
        {"surrogate", "\xED\xA0\x80", "???"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "????"},
        {"truncated in the middle",
         "\xE2\x82"
         "A",
         "??A"},
        {"truncated emoji at the end", "ok\xF0\x9F\x98", "ok???"},
        {"lead byte as last byte", "ok\xC3", "ok?"},
        {"two-byte lead then ascii",
         "\xC3"
         "A",
         "?A"},
        {"valid after invalid", "\xFF\xC3\xA9", "?\xE9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EncodeWindows1252(c.utf8, 1000), c.expected);
    }
}

TEST(EncodeWindows1252Test, NeverReadsPastTheEndOfTheText) {
    // The bytes after the view would complete each sequence; they must not be looked at.
    const std::string buffer = "ok\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    EXPECT_EQ(EncodeWindows1252(std::string_view(buffer).substr(0, 3), 100), "ok?");
    EXPECT_EQ(EncodeWindows1252(std::string_view(buffer).substr(4, 2), 100), "??");
    EXPECT_EQ(EncodeWindows1252(std::string_view(buffer).substr(7, 3), 100), "???");
    EXPECT_EQ(TextReport(std::string_view(buffer).substr(0, 3)),
              Expected({{1, 0x14}, {3, 'o'}, {4, 'k'}, {5, '?'}}));
}

TEST(EncodeWindows1252Test, StopsAtMaxBytes) {
    EXPECT_EQ(EncodeWindows1252("abc", 0), "");
    EXPECT_EQ(EncodeWindows1252("abc", 2), "ab");
    EXPECT_EQ(EncodeWindows1252("\xE2\x82\xAC\xE2\x82\xAC", 1), "\x80");
    EXPECT_EQ(EncodeWindows1252("\xFF\xFF\xFF", 2), "??");
    const std::string huge(1'000'000, '\xE9');  // invalid throughout
    EXPECT_EQ(EncodeWindows1252(huge, 62), std::string(62, '?'));
}

}  // namespace
}  // namespace velta
