#include "export/data_center_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velta {
namespace {

// Records every refresh as the box would see it.
class FakeBox : public DataCenterSink {
  public:
    struct Refresh {
        std::string log;
        std::size_t shownBefore;
    };
    void RefreshDataCenter(std::string_view log, std::size_t shownBefore) override {
        refreshes.push_back({std::string(log), shownBefore});
    }
    void DataCenterWarning(std::string_view text) override { warnings.emplace_back(text); }
    void DataCenterFull(std::string_view text) override { full.emplace_back(text); }
    std::vector<Refresh> refreshes;
    std::vector<std::string> warnings;
    std::vector<std::string> full;
};

// The grid block of an all-off grid, written out line by line; its last line has no line end.
const std::string kAllOffGridBlock =
    "LED_data[0]   = 0x000\r\nLED_data[1]   = 0x000\r\nLED_data[2]   = 0x000\r\n"
    "LED_data[3]   = 0x000\r\nLED_data[4]   = 0x000\r\nLED_data[5]   = 0x000\r\n"
    "LED_data[6]   = 0x000\r\nLED_data[7]   = 0x000\r\nLED_data[8]   = 0x000\r\n"
    "LED_data[9]   = 0x000\r\nLED_data[10] = 0x000\r\nLED_data[11] = 0x000\r\n"
    "LED_data[12] = 0x000\r\nLED_data[13] = 0x000\r\nLED_data[14] = 0x000\r\n"
    "LED_data[15] = 0x000\r\nLED_data[16] = 0x000\r\nLED_data[17] = 0x000\r\n"
    "LED_data[18] = 0x000\r\nLED_data[19] = 0x000\r\nLED_data[20] = 0x000\r\n"
    "LED_data[21] = 0x000\r\nLED_data[22] = 0x000\r\nLED_data[23] = 0x000\r\n"
    "LED_data[24] = 0x000\r\nLED_data[25] = 0x000\r\nLED_data[26] = 0x000\r\n"
    "LED_data[27] = 0x000\r\nLED_data[28] = 0x000\r\nLED_data[29] = 0x000\r\n"
    "LED_data[30] = 0x000\r\nLED_data[31] = 0x000";
const std::string kSeparator = "\r\n\r\n";

// Builds a block of `count` lines named `name` whose every value prints as `value`.
std::string UniformBlock(const std::string& name, int count, const std::string& value) {
    std::string block;
    for (int i = 0; i < count; ++i)
        block += name + "[" + std::to_string(i) + (i < 10 ? "]   = " : "] = ") + value + "\r\n";
    return block;
}

// Each block is followed by a separator in the log; its refresh shows the log up to the block's
// end, so the box never shows a separator before the next block comes.
TEST(DataCenterLog, ExportsTheSelectedBlocksInOrderWithARefreshEach) {
    const std::string grid = kAllOffGridBlock;
    const std::string pods = UniformBlock("RGB_data", 60, "0x00");
    const std::string rings = UniformBlock("ring_data", 24, "0x00");
    const struct {
        FeatureMask mask;
        std::vector<std::string> blocks;
    } cases[] = {
        {0x00, {}},
        {0x58, {}},  // grid brightness, ring brightness, scrolling text
        {0xFFFFFFF8u, {}},
        {0x01, {grid}},
        {0x41, {grid}},
        {0x02, {pods}},
        {0x04, {rings}},
        {0x05, {grid, rings}},
        {0x07, {grid, pods, rings}},
        {0x5F, {grid, pods, rings}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(::testing::Message() << "mask " << test.mask);
        PanelState panel;
        FakeBox box;
        DataCenterLog log(panel, box);
        log.AppendBlocks(test.mask);

        std::string text;
        ASSERT_EQ(box.refreshes.size(), test.blocks.size());
        for (std::size_t i = 0; i < test.blocks.size(); ++i) {
            EXPECT_EQ(box.refreshes[i].shownBefore, i == 0 ? 0 : text.size() - kSeparator.size());
            text += test.blocks[i];
            EXPECT_EQ(box.refreshes[i].log, text);
            text += kSeparator;
        }
        EXPECT_EQ(log.Text(), text);
        EXPECT_EQ(log.ShownLength(), text.empty() ? 0 : text.size() - kSeparator.size());
    }
}

// Every value set here sits in its own array element, so one picture carries all the cases.
TEST(DataCenterLog, LinesCarryTheValueInTheirBlockFormat) {
    PanelState panel;
    for (int r = 0; r < kRows; ++r)
        panel.SetCell(r, 4, true);  // full column
    panel.SetCell(0, 0, true);      // top and bottom of column 0
    panel.SetCell(11, 0, true);
    for (int r = 4; r < 8; ++r)
        panel.SetCell(r, 3, true);
    panel.SetCell(0, 31, true);
    panel.SetPodColor(0, 0x007FFF);  // orange
    panel.SetPodColor(4, 0x00000A);
    panel.SetPodColor(19, 0xAB0000);  // blue
    panel.SetRingOn(11, true);        // at the full level
    FakeBox box;
    DataCenterLog log(panel, box);
    log.AppendBlocks(feature::kLedGrid | feature::kRgbPods | feature::kLedRings);
    panel.SetRingOn(2, true);
    panel.SetRingLevel(256);
    log.AppendBlocks(feature::kLedRings);

    for (const char* line : {
             "\r\nLED_data[4]   = 0xFFF\r\n",
             "LED_data[0]   = 0x801\r\n",
             "\r\nLED_data[3]   = 0x0F0\r\n",
             "\r\nLED_data[31] = 0x001\r\n\r\n",  // the last grid line has no line end
             "RGB_data[0]   = 0xFF\r\nRGB_data[1]   = 0x7F\r\nRGB_data[2]   = 0x00\r\n",
             "\r\nRGB_data[12] = 0x0A\r\n",
             "\r\nRGB_data[59] = 0xAB\r\n",
             "\r\nring_data[22] = 0xFF\r\nring_data[23] = 0x0F\r\n",
             "\r\nring_data[4]   = 0x00\r\nring_data[5]   = 0x01\r\n",
         }) {
        EXPECT_NE(log.Text().find(line), std::string::npos) << line;
    }
}

TEST(DataCenterLog, RepeatedExportsAppendAndKeepEarlierText) {
    PanelState panel;
    FakeBox box;
    DataCenterLog log(panel, box);
    log.AppendBlocks(feature::kLedGrid);
    const std::string first = log.Text();
    log.AppendBlocks(feature::kLedGrid);
    EXPECT_EQ(log.Text(), first + first);
    ASSERT_EQ(box.refreshes.size(), 2u);
    // The second refresh is told how much the box already shows; the separator is new to it.
    EXPECT_EQ(box.refreshes[1].shownBefore, kAllOffGridBlock.size());
    EXPECT_EQ(box.refreshes[1].log.substr(box.refreshes[1].shownBefore),
              kSeparator + kAllOffGridBlock);
}

TEST(DataCenterLog, EachExportPacksThePanelAsItStandsNow) {
    PanelState panel;
    FakeBox box;
    DataCenterLog log(panel, box);
    log.AppendBlocks(feature::kRgbPods);
    // No caller packs in between: the log must pack for itself.
    panel.SetPodColor(1, 0x0000C3);
    panel.SetCell(11, 31, true);
    log.AppendBlocks(feature::kLedGrid | feature::kRgbPods);
    const std::string& text = log.Text();
    const std::size_t secondExport = text.find("LED_data[0]");
    ASSERT_NE(secondExport, std::string::npos);
    EXPECT_NE(text.find("\r\nLED_data[31] = 0x800\r\n\r\n"), std::string::npos);
    EXPECT_EQ(text.find("RGB_data[3]   = 0xC3"), text.rfind("RGB_data[3]   = 0xC3"));
    EXPECT_GT(text.find("RGB_data[3]   = 0xC3"), secondExport);
    EXPECT_LT(text.find("RGB_data[3]   = 0x00"), secondExport);
}

// A log with small limits: the user is told once as it passes the first, and at the second it
// takes no more blocks (a block is whole or not there, and counted at its largest before it is
// let in), says so once, and takes blocks again once cleared. An export of all three blocks is
// 2,532 bytes.
TEST(DataCenterLog, WarnsOnceAndStopsWholeAtItsLimits) {
    struct Step {
        int exports;
        std::size_t warnings;  // so far
        std::size_t boxes;     // so far
        bool full;
        std::size_t size;
        bool clearFirst = false;
    };
    const Step steps[] = {
        {1, 0, 0, false, 2532},        // under both
        {1, 1, 0, false, 5064},        // past 4 KiB: told once
        {2, 1, 0, false, 10128},       // the fourth still fits whole
        {1, 1, 1, true, 10844},        // its grid fits, its pods would not: the rest refused
        {3, 1, 1, true, 10844},        // nothing more, and no second box
        {1, 1, 1, false, 2532, true},  // cleared: blocks again, counted from nothing
        {1, 2, 1, false, 5064},
    };
    PanelState panel;
    FakeBox box;
    DataCenterLimits limits;
    limits.warnAt = 4096;
    limits.stopAt = 12 * 1024;
    DataCenterLog log(panel, box, limits);
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        if (steps[i].clearFirst)
            log.Clear();
        for (int n = 0; n < steps[i].exports; ++n)
            log.AppendBlocks(feature::kLedGrid | feature::kRgbPods | feature::kLedRings);
        EXPECT_EQ(box.warnings.size(), steps[i].warnings);
        EXPECT_EQ(box.full.size(), steps[i].boxes);
        EXPECT_EQ(log.Full(), steps[i].full);
        EXPECT_EQ(log.Text().size(), steps[i].size);
        EXPECT_TRUE(log.Text().ends_with(kSeparator));  // whole blocks only
    }
    EXPECT_NE(box.full[0].find("full (12288 bytes)"), std::string::npos) << box.full[0];
    EXPECT_NE(box.full[0].find("export it"), std::string::npos);
    EXPECT_NE(box.warnings[0].find("over 4096 bytes"), std::string::npos) << box.warnings[0];
}

}  // namespace
}  // namespace velta
