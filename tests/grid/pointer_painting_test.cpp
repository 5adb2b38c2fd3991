#include "grid/pointer_painting.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace velta {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(PaintTargetAt, MapsEveryBandEdge) {
    struct Case {
        std::int32_t x, y;
        PaintArea area;
        int row, column;  // meaningful for OnCell only
    };
    // Column c covers x = 104 + 18c .. 121 + 18c; row r covers y = 49 + 18r .. 66 + 18r.
    const Case cases[] = {
        {104, 50, PaintArea::OutsideWindow, 0, 0},    {105, 50, PaintArea::OnCell, 0, 0},
        {121, 50, PaintArea::OnCell, 0, 0},           {122, 50, PaintArea::OnCell, 0, 1},
        {139, 50, PaintArea::OnCell, 0, 1},           {140, 50, PaintArea::OnCell, 0, 2},
        {391, 50, PaintArea::OnCell, 0, 15},          {392, 50, PaintArea::OnCell, 0, 16},
        {679, 50, PaintArea::OnCell, 0, 31},          {680, 50, PaintArea::OutsideWindow, 0, 0},
        {200, 31, PaintArea::OutsideWindow, 0, 0},    {200, 32, PaintArea::OffGrid, 0, 0},
        {200, 48, PaintArea::OffGrid, 0, 0},          {200, 49, PaintArea::OnCell, 0, 5},
        {200, 66, PaintArea::OnCell, 0, 5},           {200, 67, PaintArea::OnCell, 1, 5},
        {200, 264, PaintArea::OnCell, 11, 5},         {200, 265, PaintArea::OffGrid, 0, 0},
        {200, 283, PaintArea::OffGrid, 0, 0},         {200, 285, PaintArea::OffGrid, 0, 0},
        {200, 286, PaintArea::OutsideWindow, 0, 0},   {105, 32, PaintArea::OffGrid, 0, 0},
        {679, 285, PaintArea::OffGrid, 0, 0},         {105, 49, PaintArea::OnCell, 0, 0},
        {679, 264, PaintArea::OnCell, 11, 31},        {0, 0, PaintArea::OutsideWindow, 0, 0},
        {-50, 100, PaintArea::OutsideWindow, 0, 0},   {kMin, kMin, PaintArea::OutsideWindow, 0, 0},
        {kMax, kMax, PaintArea::OutsideWindow, 0, 0}, {kMin, 100, PaintArea::OutsideWindow, 0, 0},
        {kMax, 100, PaintArea::OutsideWindow, 0, 0},  {300, kMin, PaintArea::OutsideWindow, 0, 0},
        {300, kMax, PaintArea::OutsideWindow, 0, 0},  {kMin, kMax, PaintArea::OutsideWindow, 0, 0},
    };
    for (const auto& test : cases) {
        const PaintTarget target = PaintTargetAt(test.x, test.y);
        EXPECT_EQ(target.area, test.area) << test.x << "," << test.y;
        const int want = test.area == PaintArea::OnCell ? 32 * test.row + test.column : -1;
        EXPECT_EQ(target.cellIndex, want) << test.x << "," << test.y;
    }
}

// Records what the tick asks the window to repaint.
class Recorder : public PanelObserver {
  public:
    struct Write {
        int index;
        bool on;
    };
    void OnCellWritten(int index, bool on) override { cells.push_back({index, on}); }
    void OnPodMarkWritten(int pod, bool) override { marks.push_back(pod); }
    void OnPodLedColorsChanged(int pod, Color, Color) override { ledColors.push_back(pod); }
    std::vector<Write> cells;
    std::vector<int> marks;
    std::vector<int> ledColors;
};

constexpr Color kOrange = 0x007FFF;
constexpr Color kTeal = 0x808000;

TEST(SampleTick, PaintsErasesAndColoursPodsByButtonAndPosition) {
    struct Case {
        const char* name;
        PointerSample sample;
        bool cellBefore;   // the cell under (200, 100) = row 2, column 5
        int writtenIndex;  // -1: no cell write
        bool writtenValue;
        bool podsColoured;
    };
    const int cell = 32 * 2 + 5;
    const Case cases[] = {
        {"right paints", {200, 100, true, false}, false, cell, true, true},
        {"right repaints a lit cell", {200, 100, true, false}, true, cell, true, true},
        {"middle erases", {200, 100, false, true}, true, cell, false, true},
        {"middle rewrites an unlit cell", {200, 100, false, true}, false, cell, false, true},
        {"right wins over middle", {200, 100, true, true}, false, cell, true, true},
        {"no button", {200, 100, false, false}, false, -1, false, true},
        {"right above the grid", {200, 40, true, false}, false, -1, false, false},
        {"middle below the grid", {200, 270, false, true}, false, -1, false, false},
        {"right outside (y=31)", {200, 31, true, false}, false, -1, false, true},
        {"right outside (y=286)", {200, 286, true, false}, false, -1, false, true},
        {"right far outside", {kMin, kMax, true, false}, false, -1, false, true},
        {"off grid without button", {200, 40, false, false}, false, -1, false, true},
    };
    for (const auto& test : cases) {
        PanelState panel;
        panel.SetCell(cell, test.cellBefore);
        panel.SetCurrentColor(kOrange);
        panel.SetPodMark(3, true);
        panel.SetPodMark(17, true);
        Recorder recorder;
        panel.SetObserver(&recorder);

        SampleTick(panel, test.sample);

        if (test.writtenIndex < 0) {
            EXPECT_TRUE(recorder.cells.empty()) << test.name;
        } else {
            ASSERT_EQ(recorder.cells.size(), 1u) << test.name;
            EXPECT_EQ(recorder.cells[0].index, test.writtenIndex) << test.name;
            EXPECT_EQ(recorder.cells[0].on, test.writtenValue) << test.name;
            EXPECT_EQ(panel.Cell(cell), test.writtenValue) << test.name;
        }
        for (int pod : {3, 17}) {
            EXPECT_EQ(panel.PodMark(pod), !test.podsColoured) << test.name << " pod " << pod;
            EXPECT_EQ(panel.PodColor(pod), test.podsColoured ? kOrange : 0u) << test.name;
        }
        const std::vector<int> touched =
            test.podsColoured ? std::vector<int>{3, 17} : std::vector<int>{};
        EXPECT_EQ(recorder.marks, touched) << test.name;
        EXPECT_EQ(recorder.ledColors, touched) << test.name;
    }
}

TEST(ColorAllPods, ColoursAndMarksEveryPodButLeavesLedColoursToTheTick) {
    struct Case {
        Color atCommand;
        Color atTick;
    };
    const Case cases[] = {{kOrange, kOrange}, {kOrange, kTeal}, {0, 0}};
    for (const auto& test : cases) {
        PanelState panel;
        panel.SetCurrentColor(test.atCommand);
        Recorder recorder;
        panel.SetObserver(&recorder);
        ColorAllPods(panel);
        EXPECT_EQ(recorder.marks.size(), static_cast<std::size_t>(kPodCount));
        EXPECT_TRUE(recorder.ledColors.empty());
        for (int pod = 0; pod < kPodCount; ++pod) {
            EXPECT_TRUE(panel.PodMark(pod)) << pod;
            EXPECT_EQ(panel.PodColor(pod), test.atCommand) << pod;
            EXPECT_EQ(panel.PodLedColors(pod).on, kLedDefaultOnColor) << pod;
        }

        panel.SetCurrentColor(test.atTick);
        SampleTick(panel, {});
        for (int pod = 0; pod < kPodCount; ++pod) {
            EXPECT_FALSE(panel.PodMark(pod)) << pod;
            EXPECT_EQ(panel.PodColor(pod), test.atTick) << pod;
            EXPECT_EQ(panel.PodLedColors(pod).on, 0xFFFFFFu) << pod;
            EXPECT_EQ(panel.PodLedColors(pod).off, test.atTick) << pod;
        }
    }
}

}  // namespace
}  // namespace velta
