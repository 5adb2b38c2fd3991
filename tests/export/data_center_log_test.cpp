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
    std::vector<Refresh> refreshes;
};

// The grid block of an all-off grid, written out line by line.
const std::string kAllOffGridBlock =
    "LED_data[0]   = 0x000\r\n"
    "LED_data[1]   = 0x000\r\n"
    "LED_data[2]   = 0x000\r\n"
    "LED_data[3]   = 0x000\r\n"
    "LED_data[4]   = 0x000\r\n"
    "LED_data[5]   = 0x000\r\n"
    "LED_data[6]   = 0x000\r\n"
    "LED_data[7]   = 0x000\r\n"
    "LED_data[8]   = 0x000\r\n"
    "LED_data[9]   = 0x000\r\n"
    "LED_data[10] = 0x000\r\n"
    "LED_data[11] = 0x000\r\n"
    "LED_data[12] = 0x000\r\n"
    "LED_data[13] = 0x000\r\n"
    "LED_data[14] = 0x000\r\n"
    "LED_data[15] = 0x000\r\n"
    "LED_data[16] = 0x000\r\n"
    "LED_data[17] = 0x000\r\n"
    "LED_data[18] = 0x000\r\n"
    "LED_data[19] = 0x000\r\n"
    "LED_data[20] = 0x000\r\n"
    "LED_data[21] = 0x000\r\n"
    "LED_data[22] = 0x000\r\n"
    "LED_data[23] = 0x000\r\n"
    "LED_data[24] = 0x000\r\n"
    "LED_data[25] = 0x000\r\n"
    "LED_data[26] = 0x000\r\n"
    "LED_data[27] = 0x000\r\n"
    "LED_data[28] = 0x000\r\n"
    "LED_data[29] = 0x000\r\n"
    "LED_data[30] = 0x000\r\n"
    "LED_data[31] = 0x000";

// Builds a block of `count` lines named `name` whose every value prints as `value`.
std::string UniformBlock(const std::string& name, int count, const std::string& value) {
    std::string block;
    for (int i = 0; i < count; ++i) {
        block += name + "[" + std::to_string(i) + (i < 10 ? "]   = " : "] = ") + value + "\r\n";
    }
    return block;
}

TEST(DataCenterLog, AllOffGridGivesTheFullBlockAndShowsAllButTheSeparator) {
    PanelState panel;
    FakeBox box;
    DataCenterLog log(panel, box);
    log.AppendBlocks(feature::kLedGrid);

    EXPECT_EQ(log.Text(), kAllOffGridBlock + "\r\n\r\n");
    ASSERT_EQ(box.refreshes.size(), 1u);
    EXPECT_EQ(box.refreshes[0].log, kAllOffGridBlock);
    EXPECT_EQ(box.refreshes[0].shownBefore, 0u);
    EXPECT_EQ(log.ShownLength(), kAllOffGridBlock.size());
}

TEST(DataCenterLog, LinesCarryTheValueInTheirBlockFormat) {
    struct Case {
        const char* name;
        void (*setup)(PanelState&);
        FeatureMask mask;
        std::string line;  // must appear in the log, whole
    };
    const Case cases[] = {
        {"full column",
         [](PanelState& p) {
             for (int r = 0; r < kRows; ++r)
                 p.SetCell(r, 4, true);
         },
         feature::kLedGrid, "\r\nLED_data[4]   = 0xFFF\r\n"},
        {"top and bottom of column 0",
         [](PanelState& p) {
             p.SetCell(0, 0, true);
             p.SetCell(11, 0, true);
         },
         feature::kLedGrid, "LED_data[0]   = 0x801\r\n"},
        {"column 3 rows 4-7",
         [](PanelState& p) {
             for (int r = 4; r < 8; ++r)
                 p.SetCell(r, 3, true);
         },
         feature::kLedGrid, "\r\nLED_data[3]   = 0x0F0\r\n"},
        {"last grid line without line end", [](PanelState& p) { p.SetCell(0, 31, true); },
         feature::kLedGrid, "\r\nLED_data[31] = 0x001\r\n\r\n"},
        {"pod byte 10 at index 12", [](PanelState& p) { p.SetPodColor(4, 0x00000A); },
         feature::kRgbPods, "\r\nRGB_data[12] = 0x0A\r\n"},
        {"pod orange", [](PanelState& p) { p.SetPodColor(0, 0x007FFF); }, feature::kRgbPods,
         "RGB_data[0]   = 0xFF\r\nRGB_data[1]   = 0x7F\r\nRGB_data[2]   = 0x00\r\n"},
        {"last pod blue", [](PanelState& p) { p.SetPodColor(19, 0xAB0000); }, feature::kRgbPods,
         "\r\nRGB_data[59] = 0xAB\r\n"},
        {"ring 11 full level", [](PanelState& p) { p.SetRingOn(11, true); }, feature::kLedRings,
         "\r\nring_data[22] = 0xFF\r\nring_data[23] = 0x0F\r\n"},
        {"ring off prints zero", [](PanelState&) {}, feature::kLedRings,
         "ring_data[0]   = 0x00\r\nring_data[1]   = 0x00\r\n"},
        {"ring level 256",
         [](PanelState& p) {
             p.SetRingOn(2, true);
             p.SetRingLevel(256);
         },
         feature::kLedRings, "\r\nring_data[4]   = 0x00\r\nring_data[5]   = 0x01\r\n"},
    };
    for (const auto& test : cases) {
        PanelState panel;
        test.setup(panel);
        FakeBox box;
        DataCenterLog log(panel, box);
        log.AppendBlocks(test.mask);
        EXPECT_NE(log.Text().find(test.line), std::string::npos) << test.name << "\n" << log.Text();
    }
}

TEST(DataCenterLog, AllThreeBlocksInOrderWithARefreshEach) {
    PanelState panel;
    FakeBox box;
    DataCenterLog log(panel, box);
    log.AppendBlocks(feature::kLedGrid | feature::kRgbPods | feature::kLedRings);

    const std::string pods = UniformBlock("RGB_data", 60, "0x00");
    const std::string rings = UniformBlock("ring_data", 24, "0x00");
    const std::string sep = "\r\n\r\n";
    const std::string afterGrid = kAllOffGridBlock;
    const std::string afterPods = afterGrid + sep + pods;
    const std::string afterRings = afterPods + sep + rings;

    EXPECT_EQ(log.Text(), afterRings + sep);
    ASSERT_EQ(box.refreshes.size(), 3u);
    EXPECT_EQ(box.refreshes[0].log, afterGrid);
    EXPECT_EQ(box.refreshes[0].shownBefore, 0u);
    EXPECT_EQ(box.refreshes[1].log, afterPods);
    EXPECT_EQ(box.refreshes[1].shownBefore, afterGrid.size());
    EXPECT_EQ(box.refreshes[2].log, afterRings);
    EXPECT_EQ(box.refreshes[2].shownBefore, afterPods.size());
    EXPECT_EQ(log.ShownLength(), afterRings.size());
}

TEST(DataCenterLog, SingleBlocksAndMasksWithoutDataBits) {
    struct Case {
        FeatureMask mask;
        std::string text;  // the whole log after one export
        std::size_t refreshes;
    };
    const std::string sep = "\r\n\r\n";
    const std::string pods = UniformBlock("RGB_data", 60, "0x00");
    const std::string rings = UniformBlock("ring_data", 24, "0x00");
    const Case cases[] = {
        {0x00, "", 0},
        {0x58, "", 0},  // grid brightness, ring brightness, scrolling text
        {0xFFFFFFF8u, "", 0},
        {0x02, pods + sep, 1},
        {0x04, rings + sep, 1},
        {0x05, kAllOffGridBlock + sep + rings + sep, 2},
        {0x41, kAllOffGridBlock + sep, 1},
        {0x5F, kAllOffGridBlock + sep + pods + sep + rings + sep, 3},
    };
    for (const auto& test : cases) {
        PanelState panel;
        FakeBox box;
        DataCenterLog log(panel, box);
        log.AppendBlocks(test.mask);
        EXPECT_EQ(log.Text(), test.text) << "mask " << test.mask;
        EXPECT_EQ(box.refreshes.size(), test.refreshes) << "mask " << test.mask;
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
              "\r\n\r\n" + kAllOffGridBlock);
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

}  // namespace
}  // namespace velta
