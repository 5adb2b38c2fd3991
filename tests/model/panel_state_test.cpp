#include "model/panel_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
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
    EXPECT_EQ(p.GetFillMode(), FillMode::AllOff);
    EXPECT_FALSE(p.RfMode());
    EXPECT_EQ(p.CurrentColor(), 0u);
    EXPECT_TRUE(p.ScrollText().empty());
    EXPECT_EQ(p.BuildFeatureMask(true), 0u);
}

// Each slider starts at its maximum and clamps values outside [0, max].
TEST(PanelState, SlidersStartAtTheirMaximumAndClamp) {
    struct Slider {
        void (PanelState::*set)(int);
        int (PanelState::*get)() const;
        int max;
    };
    for (const Slider& s : {Slider{&PanelState::SetRingLevel, &PanelState::RingLevel, 4095},
                            Slider{&PanelState::SetGridBrightness, &PanelState::GridBrightness, 15},
                            Slider{&PanelState::SetScrollSpeed, &PanelState::ScrollSpeed, 15}}) {
        PanelState p;
        EXPECT_EQ((p.*s.get)(), s.max);
        for (auto [value, want] : std::vector<std::pair<int, int>>{
                 {-1, 0}, {0, 0}, {s.max - 1, s.max - 1}, {s.max + 1, s.max}}) {
            (p.*s.set)(value);
            EXPECT_EQ((p.*s.get)(), want) << "max " << s.max << ", set " << value;
        }
    }
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
    p.SetFeature(FeatureBox::LedRings, true);
    p.SetRfMode(true);
    EXPECT_EQ(r.cells, (std::vector<std::pair<int, bool>>{{5, false}, {5, true}}));
    EXPECT_EQ(r.marks, (std::vector<std::pair<int, bool>>{{19, true}}));
    EXPECT_EQ(r.rings, (std::vector<std::pair<int, bool>>{{11, false}}));
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
        for (int w = 0; w < kLedDataWords; ++w)
            EXPECT_EQ(p.LED_data()[w], w == c.word ? c.value : 0u) << "word " << w;
    }
    PanelState full;
    for (int i = 0; i < kCellCount; ++i)
        full.SetCell(i, true);
    for (auto word : full.LED_data())
        EXPECT_EQ(word, 0xFFFu);
}

TEST(PanelState, PacksPodsRedGreenBlueAndKeepsTheTailZero) {
    PanelState p;
    p.SetPodColor(0, 0x007FFF);   // orange
    p.SetPodColor(19, 0xFFFFFF);  // white
    p.SetPodColor(7, 0x123456);
    const std::map<int, int> nonzero = {{0, 0xFF},  {1, 0x7F},  {21, 0x56}, {22, 0x34},
                                        {23, 0x12}, {57, 0xFF}, {58, 0xFF}, {59, 0xFF}};
    {
        for (int i = 0; i < kRgbDataBytes; ++i) {
            const auto it = nonzero.find(i);
            EXPECT_EQ(p.RGB_data()[i], it == nonzero.end() ? 0 : it->second) << "byte " << i;
        }
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
        for (int ring = 0; ring < kRingCount; ++ring) {
            const bool on = std::find(c.on.begin(), c.on.end(), ring) != c.on.end();
            EXPECT_EQ(p.ring_data()[2 * ring], on ? c.low : 0) << "ring " << ring;
            EXPECT_EQ(p.ring_data()[2 * ring + 1], on ? c.high : 0) << "ring " << ring;
        }
    }
}

TEST(PanelState, FeatureMaskFollowsTheBoxesAndTheTextBitOnlyOnRequest) {
    using B = FeatureBox;
    struct Case {
        std::vector<FeatureBox> boxes;
        FeatureMask withText, withoutText;
    };
    const std::vector<Case> cases = {
        {{}, 0x00, 0x00},
        {{B::LedGrid}, 0x01, 0x01},
        {{B::RgbPods}, 0x02, 0x02},
        {{B::LedRings, B::GridBrightness, B::RingBrightness}, 0x1C, 0x1C},
        {{B::ScrollingText}, 0x40, 0x00},
        {{B::ScrollingText, B::RgbPods}, 0x42, 0x02},
    };
    for (const auto& c : cases) {
        PanelState p;
        for (auto box : c.boxes)
            p.SetFeature(box, true);
        EXPECT_EQ(p.BuildFeatureMask(true), c.withText);
        EXPECT_EQ(p.BuildFeatureMask(false), c.withoutText);
    }
}

}  // namespace
}  // namespace velta
