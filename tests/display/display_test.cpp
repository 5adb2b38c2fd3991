#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_reports.h"
#include "display/display_tap.h"
#include "display/report_decoder.h"
#include "display/report_hex.h"
#include "display/report_journal.h"

namespace velta {
namespace {

// A report that is zero except at the given (byte, value) places.
DeviceReport Bytes(std::initializer_list<std::pair<int, int>> bytes) {
    DeviceReport r{};
    for (const auto& [at, value] : bytes)
        r.at(static_cast<std::size_t>(at)) = static_cast<std::uint8_t>(value);
    return r;
}

DeviceReport Tail(const DeviceReport& grid, std::uint32_t column31) {
    DeviceReport tail = grid;
    GridTailReport(tail, column31);
    return tail;
}

// Everything the display shows, without the report counters.
void ExpectSameContent(const DisplayState& a, const DisplayState& b) {
    EXPECT_EQ(a.columns, b.columns);
    EXPECT_EQ(a.pods, b.pods);
    EXPECT_EQ(a.rings, b.rings);
    EXPECT_EQ(a.scrollSpeed, b.scrollSpeed);
    EXPECT_EQ(a.gridBrightness, b.gridBrightness);
    EXPECT_EQ(a.textBytes, b.textBytes);
    EXPECT_EQ(a.textUtf8, b.textUtf8);
    EXPECT_EQ(a.rfOn, b.rfOn);
}

// One character of a random text: its UTF-8, and what the display holds for it.
struct TextUnit {
    std::string_view utf8;
    char byte;
    std::string_view shown;  // the UTF-8 of that byte
};
constexpr TextUnit kTextUnits[] = {
    {"a", 'a', "a"},
    {"Z", 'Z', "Z"},
    {" ", ' ', " "},
    {"\xC3\xA9", '\xE9', "\xC3\xA9"},          // é
    {"\xE2\x82\xAC", '\x80', "\xE2\x82\xAC"},  // €
    {"\xC3\xBF", '\xFF', "\xC3\xBF"},          // ÿ
    {"\xE2\x80\x94", '\x97', "\xE2\x80\x94"},  // em dash
    {"\xCE\xB1", '?', "?"},                    // α has no byte
    {"\xF0\x9F\x98\x80", '?', "?"},            // emoji
};

TEST(ReportDecoderTest, RandomPanelsRoundTrip) {
    std::mt19937 random(977);
    ReportDecoder decoder;
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(::testing::Message() << "round " << round);
        PanelState panel;
        for (int cell = 0; cell < kCellCount; ++cell)
            panel.SetCell(cell, random() % 2 == 0);
        for (int pod = 0; pod < kPodCount; ++pod)
            panel.SetPodColor(pod, random() & 0xFFFFFFu);
        for (int ring = 0; ring < kRingCount; ++ring)
            panel.SetRingOn(ring, random() % 2 == 0);
        panel.SetRingLevel(static_cast<int>(random() % 4096));
        const int speed = static_cast<int>(random() % 16);
        const int brightness = static_cast<int>(random() % 16);
        std::string text;
        std::string bytes;
        std::string shown;
        const std::size_t characters = 1 + random() % 80;
        for (std::size_t i = 0; i < characters; ++i) {
            const TextUnit& unit = kTextUnits[random() % std::size(kTextUnits)];
            text += unit.utf8;
            if (i < kTextPayloadBytes) {
                bytes.push_back(unit.byte);
                shown += unit.shown;
            }
        }
        const bool rfOn = random() % 2 == 0;

        DeviceReport grid = GridReport(panel.LED_data());
        decoder.Feed(grid);
        GridTailReport(grid, panel.LED_data()[31]);
        decoder.Feed(grid);
        decoder.Feed(PodReport(panel.RGB_data()));
        decoder.Feed(RingReport(panel.ring_data(), speed, brightness));
        decoder.Feed(TextReport(text));
        decoder.Feed(rfOn ? RfOnReport() : RfOffReport());

        const DisplayState& state = decoder.State();
        for (int column = 0; column < kColumns; ++column)
            ASSERT_EQ(state.columns[column], panel.LED_data()[column]) << "column " << column;
        for (int pod = 0; pod < kPodCount; ++pod)
            ASSERT_EQ(state.pods[pod],
                      MakeColor(panel.RGB_data()[3 * pod], panel.RGB_data()[3 * pod + 1],
                                panel.RGB_data()[3 * pod + 2]));
        for (int ring = 0; ring < kRingCount; ++ring)
            ASSERT_EQ(state.rings[ring],
                      panel.ring_data()[2 * ring] | (panel.ring_data()[2 * ring + 1] << 8));
        EXPECT_EQ(state.scrollSpeed, speed);
        EXPECT_EQ(state.gridBrightness, brightness);
        EXPECT_EQ(state.textBytes, bytes);
        EXPECT_EQ(state.textUtf8, shown);
        EXPECT_EQ(state.rfOn, rfOn);
        EXPECT_EQ(state.NotUnderstoodCount(), 0u);
    }
    const DisplayState& state = decoder.State();
    for (ReportKind kind : {ReportKind::Grid, ReportKind::GridTail, ReportKind::Pods,
                            ReportKind::Rings, ReportKind::Text})
        EXPECT_EQ(state.ReportCount(kind), 300u) << ReportKindName(kind);
    EXPECT_EQ(state.ReportCount(ReportKind::RfOn) + state.ReportCount(ReportKind::RfOff), 300u);
}

// The worked examples of docs/PROTOCOL.md, read back.
TEST(ReportDecoderTest, ProtocolExamples) {
    ReportDecoder decoder;
    const DeviceReport grid = Bytes({{1, 0x11},
                                     {3, 0x01},
                                     {4, 0x01},
                                     {23, 0x0F},
                                     {33, 0x01},
                                     {44, 0x02},
                                     {63, 0xFF},
                                     {64, 0x0F}});
    decoder.Feed(grid);
    decoder.Feed(Bytes({{1, 0x01}, {2, 0x08}, {33, 0x01}, {44, 0x02}, {63, 0xFF}, {64, 0x0F}}));
    decoder.Feed(Bytes({{1, 0x12}, {3, 0xFF}, {60, 0x20}, {61, 0x40}, {62, 0x80}}));
    decoder.Feed(
        Bytes({{1, 0x13}, {3, 0xE8}, {4, 0x03}, {25, 0xE8}, {26, 0x03}, {27, 7}, {28, 15}}));
    decoder.Feed(
        Bytes({{1, 0x14}, {3, 'C'}, {4, 'a'}, {5, 'f'}, {6, 0xE9}, {7, ' '}, {8, 0x80}, {9, '5'}}));
    const DisplayState& s = decoder.State();
    std::array<std::uint16_t, kColumns> columns{};
    columns[0] = 0x101;
    columns[10] = 0x00F;
    columns[15] = 0x001;
    columns[20] = 0x200;
    columns[30] = 0xFFF;
    columns[31] = 0x801;
    EXPECT_EQ(s.columns, columns);
    EXPECT_TRUE(s.Lit(11, 31));
    EXPECT_FALSE(s.Lit(10, 31));
    EXPECT_FALSE(s.Lit(12, 31));
    EXPECT_EQ(s.pods[0], 0x0000FFu);
    EXPECT_EQ(s.pods[19], 0x804020u);
    EXPECT_EQ(s.rings[0], 1000);
    EXPECT_EQ(s.rings[11], 1000);
    EXPECT_EQ(s.rings[5], 0);
    EXPECT_EQ(s.scrollSpeed, 7);
    EXPECT_EQ(s.gridBrightness, 15);
    EXPECT_EQ(s.textBytes,
              "Caf\xE9 \x80"
              "5");
    EXPECT_EQ(s.textUtf8,
              "Caf\xC3\xA9 \xE2\x82\xAC"
              "5");
}

TEST(ReportDecoderTest, DescriptionsOfGoodReports) {
    const DeviceReport grid = GridReport({});
    const struct {
        DeviceReport report;
        const DeviceReport* previous;
        std::string expected;
    } cases[] = {
        {grid, nullptr, "grid, columns 0-30"},
        {Tail(grid, 0x801), &grid, "grid tail, column 31"},
        {PodReport({}), nullptr, "pods"},
        {RingReport({}, 3, 15), nullptr, "rings, speed 3, brightness 15"},
        {TextReport("Hello"), nullptr, "text \"Hello\" (5 bytes)"},
        {TextReport("x"), nullptr, "text \"x\" (1 byte)"},
        {TextReport("\xE2\x82\xAC\"\\\t"), nullptr, "text \"\xE2\x82\xAC\\\"\\\\\\x09\" (4 bytes)"},
        {TextReport(std::string(70, 'q')), nullptr,
         "text \"" + std::string(62, 'q') + "\" (62 bytes)"},
        {RfOnReport(), nullptr, "RF on"},
        {RfOffReport(), nullptr, "RF off"},
        // Right after a grid report a tail-shaped report is the tail, whatever byte 1 holds.
        {Tail(grid, 0x011), &grid, "grid tail, column 31"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DescribeReport(c.report, c.previous), c.expected);
    }
}

// Reports that break their layout or turn up out of place: counted, and nothing else changes.
TEST(ReportDecoderTest, ReportsNotUnderstoodChangeNothing) {
    PanelState::LedData picture{};
    picture[20] = 0x0F0;
    picture[31] = 0x00F;
    const DeviceReport grid = GridReport(picture);
    const DeviceReport tail = Tail(grid, picture[31]);
    DeviceReport tailOtherHalf = tail;
    tailOtherHalf[40] ^= 0x01;
    DeviceReport textAfterEnd = TextReport("ab");
    textAfterEnd[10] = 'c';

    const struct {
        const char* name;
        std::vector<DeviceReport> before;  // fed after the reference reports
        DeviceReport report;
        std::string_view description;
    } cases[] = {
        {"unknown command", {}, Bytes({{1, 0x42}}), "unknown command 0x42"},
        {"all zero", {}, DeviceReport{}, "unknown command 0x00"},
        {"report id not 0",
         {},
         Bytes({{0, 1}, {1, 0xF0}}),
         "RF on not understood: byte 0 is 0x01, expected 0x00"},
        {"byte 2 not 0",
         {},
         Bytes({{1, 0x11}, {2, 1}}),
         "grid not understood: byte 2 is 0x01, expected 0x00"},
        {"grid row 12",
         {},
         Bytes({{1, 0x11}, {4, 0x10}}),
         "grid not understood: byte 4 is 0x10, at most 0x0F"},
        {"pods byte 63",
         {},
         Bytes({{1, 0x12}, {63, 1}}),
         "pods not understood: byte 63 is 0x01, expected 0x00"},
        {"ring level 4096",
         {},
         Bytes({{1, 0x13}, {26, 0x10}}),
         "rings not understood: byte 26 is 0x10, at most 0x0F"},
        {"speed 16",
         {},
         Bytes({{1, 0x13}, {27, 16}}),
         "rings not understood: byte 27 is 0x10, at most 0x0F"},
        {"brightness 255",
         {},
         Bytes({{1, 0x13}, {28, 255}}),
         "rings not understood: byte 28 is 0xFF, at most 0x0F"},
        {"rings byte 29",
         {},
         Bytes({{1, 0x13}, {29, 1}}),
         "rings not understood: byte 29 is 0x01, expected 0x00"},
        {"text after its end",
         {},
         textAfterEnd,
         "text not understood: byte 10 is 0x63, expected 0x00"},
        {"RF off with payload",
         {},
         Bytes({{1, 0xF1}, {64, 1}}),
         "RF off not understood: byte 64 is 0x01, expected 0x00"},
        {"tail first", {}, tail, "unknown command 0x0F"},
        {"tail after a tail", {grid, tail}, tail, "unknown command 0x0F"},
        {"tail after pods", {grid, PodReport({})}, tail, "unknown command 0x0F"},
        {"tail with another upper half", {grid}, tailOtherHalf, "unknown command 0x0F"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReportDecoder decoder;
        const DeviceReport reference[] = {
            grid,        tail, PodReport({0x10, 0x20}), RingReport({0x05}, 4, 9), TextReport("Hi"),
            RfOnReport()};
        for (const DeviceReport& r : reference)
            decoder.Feed(r);
        const DeviceReport* previous = nullptr;
        for (const DeviceReport& r : c.before) {
            decoder.Feed(r);
            previous = ReadReport(r, previous).kind == ReportKind::Grid ? &r : nullptr;
        }
        const DisplayState before = decoder.State();
        EXPECT_EQ(DescribeReport(c.report, previous), c.description);
        decoder.Feed(c.report);
        ExpectSameContent(decoder.State(), before);
        EXPECT_EQ(decoder.State().NotUnderstoodCount(), before.NotUnderstoodCount() + 1);
        EXPECT_EQ(before.NotUnderstoodCount(), 0u);
        // The next grid and tail are read as usual again.
        decoder.Feed(grid);
        decoder.Feed(tail);
        EXPECT_EQ(decoder.State().NotUnderstoodCount(), 1u);
    }
}

TEST(ReportDecoderTest, Windows1252ToUtf8) {
    EXPECT_EQ(Windows1252ToUtf8("Caf\xE9 \x80"
                                "5"),
              "Caf\xC3\xA9 \xE2\x82\xAC"
              "5");
    EXPECT_EQ(Windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"),
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(Windows1252ToUtf8("\x9F\xA0\xFF"), "\xC5\xB8\xC2\xA0\xC3\xBF");
}

TEST(ReportHexTest, FormatAndParseRoundTrip) {
    EXPECT_EQ(
        FormatReportHex(Bytes({{1, 0xF0}, {64, 0x0A}})), "00 F0 " + [] {
            std::string zeros;
            for (int i = 2; i < 64; ++i)
                zeros += "00 ";
            return zeros;
        }() + "0A");
    std::mt19937 random(5);
    for (int round = 0; round < 100; ++round) {
        DeviceReport report{};
        for (auto& b : report)
            b = static_cast<std::uint8_t>(random());
        DeviceReport parsed{};
        std::string error;
        ASSERT_TRUE(ParseReportHex(FormatReportHex(report), parsed, error)) << error;
        ASSERT_EQ(parsed, report);
    }
}

TEST(ReportHexTest, LinesAndErrors) {
    const std::string rfOn = FormatReportHex(RfOnReport());
    const std::string rfOff = FormatReportHex(RfOffReport());
    std::string lower = rfOff;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string spaced = "\t " + rfOn + "  \r";
    const struct {
        const char* name;
        std::string text;
        std::vector<DeviceReport> reports;  // when it parses
        std::string_view error;             // when it does not
    } cases[] = {
        {"two lines", rfOn + "\n" + rfOff + "\n", {RfOnReport(), RfOffReport()}, ""},
        {"CR LF, blank lines, lowercase",
         "\r\n" + rfOn + "\r\n\r\n" + lower,
         {RfOnReport(), RfOffReport()},
         ""},
        {"blanks around", spaced, {RfOnReport()}, ""},
        {"empty", "", {}, ""},
        {"short", rfOn.substr(0, rfOn.size() - 3), {}, "line 1: expected 65 bytes, found 64"},
        {"long", rfOn + "\n" + rfOn + " 00", {}, "line 2: expected 65 bytes, found more"},
        {"three digits",
         "\n\n001 " + rfOn,
         {},
         "line 3: byte 0: \"001\" is not a two-digit hex byte"},
        {"one digit",
         rfOn.substr(0, 6) + "0 " + rfOn.substr(9),
         {},
         "line 1: byte 2: \"0\" is not a two-digit hex byte"},
        {"not hex",
         rfOn.substr(0, 3) + "G1" + rfOn.substr(5),
         {},
         "line 1: byte 1: \"G1\" is not a two-digit hex byte"},
        {"comma",
         rfOn.substr(0, 2) + "," + rfOn.substr(2),
         {},
         "line 1: byte 0: \"00,\" is not a two-digit hex byte"},
        {"long garbage",
         std::string(100, 'x'),
         {},
         "line 1: byte 0: \"xxxxxxxxxxxxxxxx...\" is not a two-digit hex byte"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ReportHexLines result = ParseReportHexLines(c.text);
        EXPECT_EQ(result.ok, c.error.empty());
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.reports, c.reports);
    }
    DeviceReport untouched = RfOnReport();
    std::string error;
    EXPECT_FALSE(ParseReportHex("00", untouched, error));
    EXPECT_EQ(untouched, RfOnReport());
}

// A clock that moves on by one millisecond per reading.
struct StepClock {
    std::chrono::steady_clock::time_point now{};
    std::chrono::steady_clock::time_point operator()() {
        now += std::chrono::milliseconds(1);
        return now;
    }
};

TEST(ReportJournalTest, KeepsTheLast10000AndWrapsAround) {
    StepClock clock;
    ReportJournal journal(std::ref(clock));
    const auto numbered = [](std::size_t n) {
        return Bytes({{1, static_cast<int>(n & 0xFF)}, {2, static_cast<int>((n >> 8) & 0xFF)}});
    };
    const auto number = [](const JournalEntry& e) { return e.bytes[1] | (e.bytes[2] << 8); };
    const struct {
        std::size_t recorded;
        std::size_t size;
        std::size_t oldest;
    } steps[] = {
        {1, 1, 0}, {9999, 9999, 0}, {10000, 10000, 0}, {10001, 10000, 1}, {25003, 10000, 15003}};
    std::size_t recorded = 0;
    std::uint64_t changes = journal.ChangeCount();
    for (const auto& step : steps) {
        SCOPED_TRACE(::testing::Message() << step.recorded << " recorded");
        for (; recorded < step.recorded; ++recorded) {
            if (recorded % 7 == 3)
                journal.RecordRead(numbered(recorded), recorded % 70);
            else
                journal.RecordWritten(numbered(recorded), recorded % 5 != 0);
        }
        ASSERT_EQ(journal.Size(), step.size);
        EXPECT_EQ(journal.RecordedSinceClear(), step.recorded);
        EXPECT_GT(journal.ChangeCount(), changes);
        changes = journal.ChangeCount();
        for (std::size_t row : {std::size_t{0}, step.size / 2, step.size - 1}) {
            const std::size_t n = step.oldest + row;
            const JournalEntry& e = journal.Row(row);
            EXPECT_EQ(number(e), static_cast<int>(n & 0xFFFF)) << "row " << row;
            // The clock was read once at construction, then once per report.
            EXPECT_EQ(e.sinceStart, std::chrono::milliseconds(n + 1));
            const bool read = n % 7 == 3;
            EXPECT_EQ(e.direction, read ? ReportDirection::Read : ReportDirection::Written);
            EXPECT_EQ(e.ok, read || n % 5 != 0);
            EXPECT_EQ(e.length, read ? n % 70 > 65 ? 65 : n % 70 : 65);
        }
    }
    journal.Clear();
    EXPECT_EQ(journal.Size(), 0u);
    EXPECT_EQ(journal.RecordedSinceClear(), 0u);
    EXPECT_EQ(journal.ClearCount(), 1u);
    journal.RecordWritten(numbered(7), true);
    ASSERT_EQ(journal.Size(), 1u);
    EXPECT_EQ(number(journal.Row(0)), 7);
}

TEST(DisplayTapTest, FailedWritesAndReadsReachOnlyTheJournal) {
    DisplayTap tap;
    int displayChanges = 0;
    int journalChanges = 0;
    tap.SetOnDisplayChanged([&] { ++displayChanges; });
    tap.SetOnJournalChanged([&] { ++journalChanges; });
    enum Action { Write, FailedWrite, Read };
    const struct {
        Action what;
        DeviceReport report;
        bool rfOnAfter;
        int displayChanges;
    } steps[] = {
        {Write, RfOnReport(), true, 1},
        {FailedWrite, RfOffReport(), true, 1},
        {Read, RfOffReport(), true, 1},
        {Write, RfOffReport(), false, 2},
    };
    int journalRows = 0;
    for (const auto& step : steps) {
        if (step.what == Read)
            tap.OnReportRead(step.report, 64);
        else
            tap.OnReportWritten(step.report, step.what == Write);
        ++journalRows;
        EXPECT_EQ(tap.State().rfOn, step.rfOnAfter);
        EXPECT_EQ(displayChanges, step.displayChanges);
        EXPECT_EQ(journalChanges, journalRows);
        EXPECT_EQ(tap.Journal().Size(), static_cast<std::size_t>(journalRows));
    }
    EXPECT_FALSE(tap.Journal().Row(1).ok);
    EXPECT_EQ(tap.Journal().Row(2).length, 64);
    EXPECT_EQ(tap.State().ReportCount(ReportKind::RfOff), 1u);
}

}  // namespace
}  // namespace velta
