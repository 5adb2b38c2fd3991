// The channel map against the panel's content: every field at both ends of its range, at the
// first and the last start address; the documentation's table against the code's.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "net/channel_map.h"

namespace velta::net {
namespace {

// Channel numbers relative to the start address, written from the map as lighting programs
// count them: channel S + offset.
struct FieldCase {
    std::string name;
    int offset;  // from S
    std::uint8_t value;
    std::function<bool(const SequenceFrame&)> holds;
};

std::vector<FieldCase> FieldCases() {
    return {
        {"grid row 0 column 0 at 127 is off", 0, 127, [](auto& f) { return f.cells.none(); }},
        {"grid row 0 column 0 at 128 is on", 0, 128,
         [](auto& f) { return f.cells.count() == 1 && f.cells[0]; }},
        {"grid row 0 column 31", 31, 255,
         [](auto& f) { return f.cells.count() == 1 && f.cells[31]; }},
        {"grid row 11 column 31", 383, 200,
         [](auto& f) { return f.cells.count() == 1 && f.cells[383]; }},
        {"grid row 1 column 0", 32, 128,
         [](auto& f) { return f.cells.count() == 1 && f.cells[32]; }},
        {"pod 0 red", 384, 0xFF, [](auto& f) { return f.pods[0] == 0x0000FFu; }},
        {"pod 0 green", 385, 0x01, [](auto& f) { return f.pods[0] == 0x000100u; }},
        {"pod 0 blue", 386, 0x80, [](auto& f) { return f.pods[0] == 0x800000u; }},
        {"pod 19 red", 441, 0x7F, [](auto& f) { return f.pods[19] == 0x00007Fu; }},
        {"pod 19 blue", 443, 0xFF, [](auto& f) { return f.pods[19] == 0xFF0000u; }},
        {"ring 0 at 127 is off", 444, 127, [](auto& f) { return f.rings.none(); }},
        {"ring 0 at 128 is on", 444, 128,
         [](auto& f) { return f.rings.count() == 1 && f.rings[0]; }},
        {"ring 11", 455, 255, [](auto& f) { return f.rings.count() == 1 && f.rings[11]; }},
        {"ring level coarse 0xFF: (0xFF00 >> 4)", 456, 0xFF,
         [](auto& f) { return f.ringLevel == 0xFF0; }},
        {"ring level fine 0xFF alone: 0x00FF >> 4", 457, 0xFF,
         [](auto& f) { return f.ringLevel == 0x00F; }},
        {"ring level fine 0x0F alone rounds down to 0", 457, 0x0F,
         [](auto& f) { return f.ringLevel == 0; }},
        {"grid brightness 0x0F is 0", 458, 0x0F, [](auto& f) { return f.gridBrightness == 0; }},
        {"grid brightness 0x10 is 1", 458, 0x10, [](auto& f) { return f.gridBrightness == 1; }},
        {"grid brightness 0xFF is 15", 458, 0xFF, [](auto& f) { return f.gridBrightness == 15; }},
        {"scroll speed 0xF0 is 15", 459, 0xF0, [](auto& f) { return f.scrollSpeed == 15; }},
        {"scroll speed 0x1F is 1", 459, 0x1F, [](auto& f) { return f.scrollSpeed == 1; }},
    };
}

TEST(ChannelMap, EachChannelDrivesItsFieldAtTheFirstAndLastStartAddress) {
    for (const int start : {1, kMaxStartAddress}) {
        for (const FieldCase& c : FieldCases()) {
            Universe universe{};
            universe[static_cast<std::size_t>(start - 1 + c.offset)] = c.value;
            const SequenceFrame frame = DecodeUniverse(universe, start);
            EXPECT_TRUE(c.holds(frame)) << c.name << " at S = " << start;
        }
    }
}

TEST(ChannelMap, AnAllZeroUniverseIsADarkPanelAndFullIsEverythingAtItsTop) {
    const SequenceFrame dark = DecodeUniverse(Universe{}, 1);
    EXPECT_TRUE(dark.cells.none());
    EXPECT_TRUE(dark.rings.none());
    EXPECT_EQ(dark.pods, (std::array<Color, kPodCount>{}));
    EXPECT_EQ(dark.ringLevel, 0);
    EXPECT_EQ(dark.gridBrightness, 0);
    EXPECT_EQ(dark.scrollSpeed, 0);

    Universe full;
    full.fill(0xFF);
    const SequenceFrame bright = DecodeUniverse(full, 1);
    EXPECT_TRUE(bright.cells.all());
    EXPECT_TRUE(bright.rings.all());
    for (const Color pod : bright.pods)
        EXPECT_EQ(pod, 0xFFFFFFu);
    EXPECT_EQ(bright.ringLevel, kRingLevelMax);
    EXPECT_EQ(bright.gridBrightness, kGridBrightnessMax);
    EXPECT_EQ(bright.scrollSpeed, kScrollSpeedMax);
}

TEST(ChannelMap, ChannelsBeforeTheStartAddressAndAfterTheFixtureAreIgnored) {
    Universe universe;
    universe.fill(0xFF);
    for (int i = 0; i < kFixtureChannels; ++i)
        universe[static_cast<std::size_t>(9 + i)] = 0;  // S = 10
    const SequenceFrame frame = DecodeUniverse(universe, 10);
    EXPECT_TRUE(frame.cells.none());
    EXPECT_TRUE(frame.rings.none());
    EXPECT_EQ(frame.ringLevel, 0);
}

TEST(ChannelMap, EncodeReadsBackAsTheSameFrameAtEveryStartAddress) {
    SequenceFrame frame;
    for (int i = 0; i < kCellCount; i += 3)
        frame.cells[static_cast<std::size_t>(i)] = true;
    for (int p = 0; p < kPodCount; ++p)
        frame.pods[static_cast<std::size_t>(p)] =
            MakeColor(static_cast<std::uint8_t>(p * 13), static_cast<std::uint8_t>(255 - p),
                      static_cast<std::uint8_t>(p));
    frame.rings[1] = frame.rings[11] = true;
    frame.ringLevel = 4095;
    frame.gridBrightness = 7;
    frame.scrollSpeed = 0;
    for (int start = 1; start <= kMaxStartAddress; ++start)
        EXPECT_EQ(DecodeUniverse(EncodeUniverse(frame, start), start), frame) << start;
}

TEST(ChannelMap, StartAddressesThatPushChannelsPastTheUniverseAreRefused) {
    EXPECT_EQ(kMaxStartAddress, 53);
    EXPECT_EQ(CheckStartAddress(1), "");
    EXPECT_EQ(CheckStartAddress(53), "");
    for (const int bad : {0, 54, 512, -1}) {
        EXPECT_NE(CheckStartAddress(bad).find("1 to 53"), std::string::npos) << bad;
    }
}

TEST(ChannelMap, NamesAreTheOnesTheFixtureFileUses) {
    EXPECT_EQ(ChannelName(kChannelSlots[0]), "Grid row 0 column 0");
    EXPECT_EQ(ChannelName(kChannelSlots[32 * 3 + 17]), "Grid row 3 column 17");
    EXPECT_EQ(ChannelName(kChannelSlots[384 + 3 * 4 + 2]), "Pod 4 blue");
    EXPECT_EQ(ChannelName(kChannelSlots[455]), "Ring 11");
    EXPECT_EQ(ChannelName(kChannelSlots[456]), "Ring level coarse");
    EXPECT_EQ(ChannelName(kChannelSlots[459]), "Scroll speed");
}

// docs/NETWORK.md carries the table between two marker lines; it must be the code's.
TEST(ChannelMap, TheDocumentationShowsTheCodesTable) {
    std::ifstream file(std::string(VELTA_SOURCE_DIR) + "/docs/NETWORK.md");
    ASSERT_TRUE(file) << "docs/NETWORK.md";
    std::stringstream text;
    text << file.rdbuf();
    const std::string doc = text.str();
    const std::string begin = "<!-- channel map: generated from net/channel_map.h -->\n";
    const std::string end = "<!-- end of channel map -->";
    const std::size_t from = doc.find(begin);
    const std::size_t to = doc.find(end);
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    EXPECT_EQ(doc.substr(from + begin.size(), to - from - begin.size()), ChannelMapMarkdown());
}

}  // namespace
}  // namespace velta::net
