#include "grid/pointer_painting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace velta {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

constexpr int kOut = -2;  // outside the painting window
constexpr int kOff = -1;  // inside it, but off the grid
constexpr int Cell(int row, int column) {
    return kColumns * row + column;
}

TEST(PaintTargetAt, MapsEveryBandEdge) {
    // Column c covers x = 104 + 18c .. 121 + 18c; row r covers y = 49 + 18r .. 66 + 18r.
    const struct {
        std::int32_t x, y;
        int target;  // kOut, kOff or the cell index
    } cases[] = {
        {104, 50, kOut},          {105, 50, Cell(0, 0)},
        {121, 50, Cell(0, 0)},    {122, 50, Cell(0, 1)},
        {139, 50, Cell(0, 1)},    {140, 50, Cell(0, 2)},
        {391, 50, Cell(0, 15)},   {392, 50, Cell(0, 16)},
        {679, 50, Cell(0, 31)},   {680, 50, kOut},
        {200, 31, kOut},          {200, 32, kOff},
        {200, 48, kOff},          {200, 49, Cell(0, 5)},
        {200, 66, Cell(0, 5)},    {200, 67, Cell(1, 5)},
        {200, 264, Cell(11, 5)},  {200, 265, kOff},
        {200, 283, kOff},         {200, 285, kOff},
        {200, 286, kOut},         {105, 32, kOff},
        {679, 285, kOff},         {105, 49, Cell(0, 0)},
        {679, 264, Cell(11, 31)}, {0, 0, kOut},
        {-50, 100, kOut},         {kMin, kMin, kOut},
        {kMax, kMax, kOut},       {kMin, 100, kOut},
        {kMax, 100, kOut},        {300, kMin, kOut},
        {300, kMax, kOut},        {kMin, kMax, kOut},
    };
    for (const auto& test : cases) {
        const PaintTarget target = PaintTargetAt(test.x, test.y);
        const PaintArea area = test.target == kOut   ? PaintArea::OutsideWindow
                               : test.target == kOff ? PaintArea::OffGrid
                                                     : PaintArea::OnCell;
        EXPECT_EQ(target.area, area) << test.x << "," << test.y;
        EXPECT_EQ(target.cellIndex, std::max(test.target, -1)) << test.x << "," << test.y;
    }
}

// Records what the tick asks the window to repaint.
class Recorder : public PanelObserver {
  public:
    void OnCellWritten(int index, bool on) override { cells.emplace_back(index, on); }
    void OnPodMarkWritten(int pod, bool) override { marks.push_back(pod); }
    void OnPodLedColorsChanged(int pod, Color, Color) override { ledColors.push_back(pod); }
    std::vector<std::pair<int, bool>> cells;
    std::vector<int> marks;
    std::vector<int> ledColors;
};

constexpr Color kOrange = 0x007FFF;
constexpr Color kTeal = 0x808000;

TEST(SampleTick, PaintsErasesAndColoursPodsByButtonAndPosition) {
    const int cell = Cell(2, 5);  // under (200, 100)
    const struct {
        const char* name;
        PointerSample sample;
        bool cellBefore;
        int written;  // -1: no cell write, else the value written to the cell
        bool podsColoured;
    } cases[] = {
        {"right paints", {200, 100, true, false}, false, 1, true},
        {"right repaints a lit cell", {200, 100, true, false}, true, 1, true},
        {"middle erases", {200, 100, false, true}, true, 0, true},
        {"middle rewrites an unlit cell", {200, 100, false, true}, false, 0, true},
        {"right wins over middle", {200, 100, true, true}, false, 1, true},
        {"no button", {200, 100, false, false}, true, -1, true},
        {"right above the grid", {200, 40, true, false}, false, -1, false},
        {"middle below the grid", {200, 270, false, true}, false, -1, false},
        {"right outside (y=31)", {200, 31, true, false}, false, -1, true},
        {"right outside (y=286)", {200, 286, true, false}, false, -1, true},
        {"right far outside", {kMin, kMax, true, false}, false, -1, true},
        {"off grid without button", {200, 40, false, false}, false, -1, true},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        PanelState panel;
        panel.SetCell(cell, test.cellBefore);
        panel.SetCurrentColor(kOrange);
        panel.SetPodMark(3, true);
        panel.SetPodMark(17, true);
        Recorder recorder;
        panel.SetObserver(&recorder);

        SampleTick(panel, test.sample);

        std::vector<std::pair<int, bool>> writes;
        if (test.written >= 0)
            writes.emplace_back(cell, test.written == 1);
        EXPECT_EQ(recorder.cells, writes);
        EXPECT_EQ(panel.Cell(cell), test.written < 0 ? test.cellBefore : test.written == 1);
        for (int pod : {3, 17}) {
            EXPECT_EQ(panel.PodMark(pod), !test.podsColoured) << "pod " << pod;
            EXPECT_EQ(panel.PodColor(pod), test.podsColoured ? kOrange : 0u) << "pod " << pod;
        }
        const std::vector<int> touched =
            test.podsColoured ? std::vector<int>{3, 17} : std::vector<int>{};
        EXPECT_EQ(recorder.marks, touched);
        EXPECT_EQ(recorder.ledColors, touched);
    }
}

TEST(ColorAllPods, ColoursAndMarksEveryPodButLeavesLedColoursToTheTick) {
    const struct {
        Color atCommand;
        Color atTick;
    } cases[] = {{kOrange, kOrange}, {kOrange, kTeal}, {0, 0}};
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
