#include "core/panel_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace velta {
namespace {

struct Recorder : PanelObserver {
    std::vector<std::pair<int, bool>> cells, marks, rings;
    std::vector<PanelField> fields;
    void OnCellWritten(int index, bool on) override { cells.emplace_back(index, on); }
    void OnPodMarkWritten(int pod, bool on) override { marks.emplace_back(pod, on); }
    void OnRingWritten(int ring, bool on) override { rings.emplace_back(ring, on); }
    void OnFieldChanged(PanelField field) override { fields.push_back(field); }
};

TEST(PanelState, StartsWithTheDocumentedDefaults) {
    PanelState p;
    for (int i = 0; i < kCellCount; ++i)
        EXPECT_FALSE(p.Cell(i));
    for (int i = 0; i < kPodCount; ++i) {
        EXPECT_EQ(p.PodColor(i), 0u);
        EXPECT_FALSE(p.PodMark(i));
    }
    EXPECT_EQ(p.RingLevel(), 4095);
    EXPECT_EQ(p.GridBrightness(), 15);
    EXPECT_EQ(p.ScrollSpeed(), 15);
    EXPECT_EQ(p.GetFillMode(), FillMode::AllOff);
    EXPECT_EQ(p.RfMode(), 0);
    EXPECT_EQ(p.CurrentColor(), 0u);
    EXPECT_TRUE(p.ScrollText().empty());
    EXPECT_EQ(p.BuildFeatureMask(true), 0u);
}

TEST(PanelState, CellsAreRowMajorAndBoundsChecked) {
    PanelState p;
    p.SetCell(11, 31, true);
    EXPECT_TRUE(p.Cell(383));
    EXPECT_TRUE(p.Cell(11, 31));
    p.SetCell(1, 0, true);
    EXPECT_TRUE(p.Cell(32));
    for (auto [row, column] :
         std::vector<std::pair<int, int>>{{-1, 0}, {12, 0}, {0, 32}, {0, -1}}) {
        p.SetCell(row, column, true);  // ignored
        EXPECT_FALSE(p.Cell(row, column));
    }
    p.SetCell(-1, true);
    p.SetCell(384, true);
    EXPECT_FALSE(p.Cell(-1));
    EXPECT_FALSE(p.Cell(384));
}

TEST(PanelState, ObserverHearsEveryWriteEvenWithoutChange) {
    PanelState p;
    Recorder r;
    p.SetObserver(&r);
    p.SetCell(5, false);  // unchanged value still repaints
    p.SetCell(5, true);
    p.SetPodMark(19, true);
    p.SetRingOn(11, false);
    p.SetCell(400, true);  // out of range: nothing to repaint
    EXPECT_EQ(r.cells, (std::vector<std::pair<int, bool>>{{5, false}, {5, true}}));
    EXPECT_EQ(r.marks, (std::vector<std::pair<int, bool>>{{19, true}}));
    EXPECT_EQ(r.rings, (std::vector<std::pair<int, bool>>{{11, false}}));
    p.SetFeature(FeatureBox::LedRings, true);
    p.SetRfMode(1);
    EXPECT_EQ(r.fields,
              (std::vector<PanelField>{PanelField::FeatureSelection, PanelField::RfMode}));
}

TEST(PanelState, PacksGridOneWordPerColumn) {
    struct Case {
        std::vector<std::pair<int, int>> lit;  // (row, column)
        int word;
        std::uint32_t value;
    };
    const std::vector<Case> cases = {
        {{}, 0, 0x000},         {{{0, 0}, {11, 0}}, 0, 0x801},     {{{3, 7}}, 7, 0x008},
        {{{0, 31}}, 31, 0x001}, {{{11, 31}, {10, 31}}, 31, 0xC00},
    };
    for (const auto& c : cases) {
        PanelState p;
        for (auto [row, column] : c.lit)
            p.SetCell(row, column, true);
        p.PackLedData();
        for (int w = 0; w < kLedDataWords; ++w) {
            EXPECT_EQ(p.LED_data()[w], w == c.word ? c.value : 0u) << "word " << w;
        }
    }
    PanelState full;
    for (int i = 0; i < kCellCount; ++i)
        full.SetCell(i, true);
    full.PackLedData();
    for (auto word : full.LED_data())
        EXPECT_EQ(word, 0xFFFu);
}

TEST(PanelState, PacksPodsRedGreenBlueAndKeepsTheTailZero) {
    PanelState p;
    p.SetPodColor(0, 0x007FFF);   // orange
    p.SetPodColor(19, 0xFFFFFF);  // white
    p.SetPodColor(7, 0x123456);
    for (int round = 0; round < 2; ++round) {
        p.PackRgbData();
        EXPECT_EQ(p.RGB_data()[0], 0xFF);
        EXPECT_EQ(p.RGB_data()[1], 0x7F);
        EXPECT_EQ(p.RGB_data()[2], 0x00);
        EXPECT_EQ(p.RGB_data()[21], 0x56);
        EXPECT_EQ(p.RGB_data()[22], 0x34);
        EXPECT_EQ(p.RGB_data()[23], 0x12);
        EXPECT_EQ(p.RGB_data()[57], 0xFF);
        EXPECT_EQ(p.RGB_data()[59], 0xFF);
        for (int i = kRgbDataUsed; i < kRgbDataBytes; ++i)
            EXPECT_EQ(p.RGB_data()[i], 0);
    }
}

TEST(PanelState, PacksRingsAsLittleEndianLevels) {
    struct Case {
        int level;
        std::vector<int> on;
        std::uint8_t low, high;
    };
    const std::vector<Case> cases = {
        {4095, {2}, 0xFF, 0x0F},    {256, {0, 11}, 0x00, 0x01},
        {0, {0, 1, 2}, 0x00, 0x00}, {5000, {4}, 0xFF, 0x0F},  // clamped to the slider's range
        {-3, {4}, 0x00, 0x00},
    };
    for (const auto& c : cases) {
        PanelState p;
        p.SetRingLevel(c.level);
        for (int ring : c.on)
            p.SetRingOn(ring, true);
        p.PackRingData();
        for (int ring = 0; ring < kRingCount; ++ring) {
            const bool on = std::find(c.on.begin(), c.on.end(), ring) != c.on.end();
            EXPECT_EQ(p.ring_data()[2 * ring], on ? c.low : 0) << "ring " << ring;
            EXPECT_EQ(p.ring_data()[2 * ring + 1], on ? c.high : 0) << "ring " << ring;
        }
    }
}

TEST(PanelState, FeatureMaskFollowsTheBoxesAndTheTextBitOnlyOnRequest) {
    struct Case {
        std::vector<FeatureBox> boxes;
        FeatureMask withText, withoutText;
    };
    const std::vector<Case> cases = {
        {{}, 0x00, 0x00},
        {{FeatureBox::LedGrid}, 0x01, 0x01},
        {{FeatureBox::RgbPods}, 0x02, 0x02},
        {{FeatureBox::LedRings, FeatureBox::GridBrightness, FeatureBox::RingBrightness},
         0x1C,
         0x1C},
        {{FeatureBox::ScrollingText}, 0x40, 0x00},
        {{FeatureBox::ScrollingText, FeatureBox::RgbPods}, 0x42, 0x02},
    };
    for (const auto& c : cases) {
        PanelState p;
        for (auto box : c.boxes)
            p.SetFeature(box, true);
        EXPECT_EQ(p.BuildFeatureMask(true), c.withText);
        EXPECT_EQ(p.BuildFeatureMask(false), c.withoutText);
        EXPECT_EQ(p.BuildFeatureMask(true) & 0x20u, 0u);
    }
}

TEST(PanelState, SlidersClampToTheirRanges) {
    PanelState p;
    p.SetGridBrightness(16);
    p.SetScrollSpeed(-1);
    p.SetRingLevel(4096);
    EXPECT_EQ(p.GridBrightness(), 15);
    EXPECT_EQ(p.ScrollSpeed(), 0);
    EXPECT_EQ(p.RingLevel(), 4095);
}

}  // namespace
}  // namespace velta
