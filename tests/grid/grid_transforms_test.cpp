#include "grid/grid_transforms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace velta {
namespace {

// A picture as text, one line of '#' (lit) and '.' per row, so a failure shows it.
using Picture = std::string;
constexpr int kLine = kColumns + 1;

bool On(const Picture& picture, int r, int c) {
    return picture[r * kLine + c] == '#';
}

template <typename CellValue>
Picture Draw(CellValue value) {
    Picture picture;
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c)
            picture += value(r, c) ? '#' : '.';
        picture += '\n';
    }
    return picture;
}

void Load(PanelState& panel, const Picture& picture) {
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c)
            panel.SetCell(r, c, On(picture, r, c));
    }
}

Picture Read(const PanelState& panel) {
    return Draw([&](int r, int c) { return panel.Cell(r, c); });
}

Picture Random(std::mt19937& rng) {
    std::bernoulli_distribution coin(0.5);
    return Draw([&](int, int) { return coin(rng); });
}

// Lit along the given rows and columns.
Picture Lines(std::vector<int> rows, std::vector<int> columns) {
    return Draw([&](int r, int c) {
        return std::find(rows.begin(), rows.end(), r) != rows.end() ||
               std::find(columns.begin(), columns.end(), c) != columns.end();
    });
}
const Picture kDark = Lines({}, {});
const Picture kAllLit = Draw([](int, int) { return true; });

// Counts the writes per cell index, as the window's repaint requests.
class WriteCounter : public PanelObserver {
  public:
    void OnCellWritten(int index, bool) override {
        ASSERT_TRUE(PanelState::IsCellIndex(index));
        ++writes[index];
        ++total;
    }
    std::array<int, kCellCount> writes{};
    int total = 0;
};

using Command = void (*)(PanelState&);

bool FillValue(FillMode fill, bool copied) {
    return fill == FillMode::Copy ? copied : fill == FillMode::AllOn;
}

// Reference model: what each command makes of the old picture, cell by cell, written from the
// net effect of the commands rather than from their visiting order.
using Reference = std::function<bool(const Picture& old, int r, int c, FillMode fill)>;

const struct {
    const char* name;
    Command command;
    Reference reference;
} kCommands[] = {
    {"ShiftLeft", ShiftLeft,
     [](const Picture& o, int r, int c, FillMode) { return c < 31 && On(o, r, c + 1); }},
    {"ShiftRight", ShiftRight,
     [](const Picture& o, int r, int c, FillMode) { return c > 0 && On(o, r, c - 1); }},
    {"ShiftUp", ShiftUp,
     [](const Picture& o, int r, int c, FillMode) { return r < 11 && On(o, r + 1, c); }},
    {"ShiftDown", ShiftDown,
     [](const Picture& o, int r, int c, FillMode) { return r > 0 && On(o, r - 1, c); }},
    // Columns 0-14 move to 1-15 and 17-31 to 16-30; columns 0 and 31 are filled, Copy = off.
    {"ShiftInwards", ShiftInwards,
     [](const Picture& o, int r, int c, FillMode f) {
         if (c == 0 || c == 31)
             return FillValue(f, false);
         return On(o, r, c <= 15 ? c - 1 : c + 1);
     }},
    // Columns 1-15 move to 0-14 and 16-30 to 17-31; columns 15 and 16 are filled, Copy = old 16.
    {"ShiftOutwards", ShiftOutwards,
     [](const Picture& o, int r, int c, FillMode f) {
         if (c == 15 || c == 16)
             return FillValue(f, On(o, r, 16));
         return On(o, r, c < 15 ? c + 1 : c - 1);
     }},
    // Rows 0-4 move to 1-5 and 7-11 to 6-10; rows 0 and 11 are filled, Copy keeps them.
    {"ShiftDownwards", ShiftDownwards,
     [](const Picture& o, int r, int c, FillMode f) {
         if (r == 0 || r == 11)
             return FillValue(f, On(o, r, c));
         return On(o, r <= 5 ? r - 1 : r + 1, c);
     }},
    // Rows 1-5 move to 0-4 and 6-10 to 7-11; rows 5 and 6 are filled, Copy = old row 6.
    {"ShiftUpwards", ShiftUpwards,
     [](const Picture& o, int r, int c, FillMode f) {
         if (r == 5 || r == 6)
             return FillValue(f, On(o, 6, c));
         return On(o, r < 5 ? r + 1 : r - 1, c);
     }},
    {"SelectAll", SelectAll, [](const Picture&, int, int, FillMode) { return true; }},
    {"DeselectAll", DeselectAll, [](const Picture&, int, int, FillMode) { return false; }},
    {"InvertGrid", InvertGrid,
     [](const Picture& o, int r, int c, FillMode) { return !On(o, r, c); }},
};

// Every command, under every fill mode, gives the reference picture and writes each cell exactly
// once (one repaint per LED). Inverting also leaves LED_data packed: word n holds column n with
// row r in bit r.
TEST(GridTransforms, EveryCommandMatchesTheReferenceAndWritesEachCellOnce) {
    std::mt19937 rng(20240611);
    for (int trial = 0; trial < 40; ++trial) {
        const Picture old = Random(rng);
        for (const auto& command : kCommands) {
            for (FillMode fill : {FillMode::AllOff, FillMode::AllOn, FillMode::Copy}) {
                SCOPED_TRACE(::testing::Message() << command.name << " trial " << trial << " fill "
                                                  << static_cast<int>(fill));
                PanelState panel;
                panel.SetFillMode(fill);
                Load(panel, old);
                WriteCounter counter;
                panel.SetObserver(&counter);
                command.command(panel);
                const Picture want =
                    Draw([&](int r, int c) { return command.reference(old, r, c, fill); });
                ASSERT_EQ(Read(panel), want);
                for (int i = 0; i < kCellCount; ++i)
                    ASSERT_EQ(counter.writes[i], 1) << "cell " << i;
                for (int c = 0; c < kColumns && command.command == InvertGrid; ++c) {
                    std::uint32_t word = 0;
                    for (int r = 0; r < kRows; ++r)
                        word |= On(want, r, c) ? 1u << r : 0u;
                    ASSERT_EQ(panel.LED_data()[c], word) << "column " << c;
                }
            }
        }
    }
}

// Pictures that single out the lines where the fill and Copy rules act, and repeated shifts that
// clear or fill any picture.
TEST(GridTransforms, ShiftsFillTheVacatedLines) {
    const struct {
        const char* name;
        Command command;
        FillMode fill;
        Picture before;
        Picture after;
        int times = 1;
    } cases[] = {
        {"outwards copy col16", ShiftOutwards, FillMode::Copy, Lines({}, {16}),
         Lines({}, {15, 16, 17})},
        {"outwards copy col15", ShiftOutwards, FillMode::Copy, Lines({}, {15}), Lines({}, {14})},
        {"outwards off col16", ShiftOutwards, FillMode::AllOff, Lines({}, {16}), Lines({}, {17})},
        {"outwards on empty", ShiftOutwards, FillMode::AllOn, kDark, Lines({}, {15, 16})},
        {"inwards on empty", ShiftInwards, FillMode::AllOn, kDark, Lines({}, {0, 31})},
        {"inwards copy col0+31", ShiftInwards, FillMode::Copy, Lines({}, {0, 31}),
         Lines({}, {1, 30})},
        {"inwards off col15+16", ShiftInwards, FillMode::AllOff, Lines({}, {15, 16}), kDark},
        {"inwards on full", ShiftInwards, FillMode::AllOn, kAllLit, kAllLit},
        {"upwards copy row6", ShiftUpwards, FillMode::Copy, Lines({6}, {}), Lines({5, 6, 7}, {})},
        {"upwards copy row5", ShiftUpwards, FillMode::Copy, Lines({5}, {}), Lines({4}, {})},
        {"upwards on empty", ShiftUpwards, FillMode::AllOn, kDark, Lines({5, 6}, {})},
        {"upwards off row0+11", ShiftUpwards, FillMode::AllOff, Lines({0, 11}, {}), kDark},
        {"downwards copy row0", ShiftDownwards, FillMode::Copy, Lines({0}, {}), Lines({0, 1}, {})},
        {"downwards copy row11", ShiftDownwards, FillMode::Copy, Lines({11}, {}),
         Lines({10, 11}, {})},
        {"downwards copy row5+6", ShiftDownwards, FillMode::Copy, Lines({5, 6}, {}), kDark},
        {"downwards on empty", ShiftDownwards, FillMode::AllOn, kDark, Lines({0, 11}, {})},
        {"downwards off row0", ShiftDownwards, FillMode::AllOff, Lines({0}, {}), Lines({1}, {})},
        {"left 32 times", ShiftLeft, FillMode::AllOn, kAllLit, kDark, 32},
        {"right 32 times", ShiftRight, FillMode::AllOn, kAllLit, kDark, 32},
        {"up 12 times", ShiftUp, FillMode::AllOn, kAllLit, kDark, 12},
        {"down 12 times", ShiftDown, FillMode::AllOn, kAllLit, kDark, 12},
        {"downwards off 6 times", ShiftDownwards, FillMode::AllOff, kAllLit, kDark, 6},
        {"downwards on 6 times", ShiftDownwards, FillMode::AllOn, kDark, kAllLit, 6},
    };
    for (const auto& test : cases) {
        PanelState panel;
        panel.SetFillMode(test.fill);
        Load(panel, test.before);
        for (int i = 0; i < test.times; ++i)
            test.command(panel);
        EXPECT_EQ(Read(panel), test.after) << test.name;
    }
}

TEST(GridTransforms, RoutinesIgnoreDirectionsTheyDoNotHandle) {
    const auto half = [](auto fn) {
        return [fn](PanelState& p, ShiftDirection d) { fn(p, d, FillMode::AllOn); };
    };
    const struct {
        const char* name;
        std::function<void(PanelState&, ShiftDirection)> routine;
        std::vector<int> ignored;  // raw direction codes
    } cases[] = {
        {"ShiftRows", ShiftRows, {0, 3, 4, 5, 7, -1}},
        {"ShiftColumns", ShiftColumns, {0, 1, 2, 5, 7, -1}},
        {"ShiftLeftHalf", half(ShiftLeftHalf), {0, 3, 4, 7}},
        {"ShiftRightHalf", half(ShiftRightHalf), {0, 3, 4, 7}},
        {"ShiftUpperHalf", half(ShiftUpperHalf), {0, 1, 2, 7}},
        {"ShiftLowerHalf", half(ShiftLowerHalf), {0, 1, 2, 7}},
    };
    std::mt19937 rng(9);
    const Picture start = Random(rng);
    for (const auto& test : cases) {
        for (int code : test.ignored) {
            PanelState panel;
            Load(panel, start);
            WriteCounter counter;
            panel.SetObserver(&counter);
            test.routine(panel, static_cast<ShiftDirection>(code));
            EXPECT_EQ(counter.total, 0) << test.name << " " << code;
            EXPECT_EQ(Read(panel), start) << test.name << " " << code;
        }
    }
}

// Switches the fill mode to AllOn on every write, as if the mode changed mid-command.
class FillModeFlipper : public PanelObserver {
  public:
    explicit FillModeFlipper(PanelState& panel) : panel_(panel) {}
    void OnCellWritten(int, bool) override { panel_.SetFillMode(FillMode::AllOn); }

  private:
    PanelState& panel_;
};

TEST(GridTransforms, HalfShiftsFillBothHalvesWithTheModeTheyStartedWith) {
    // Started under AllOff on an empty grid, a command must leave it empty even though the
    // mode turns to AllOn after its first write.
    for (Command command : {ShiftInwards, ShiftOutwards, ShiftDownwards, ShiftUpwards}) {
        PanelState panel;
        FillModeFlipper flipper(panel);
        panel.SetObserver(&flipper);
        command(panel);
        EXPECT_EQ(Read(panel), kDark);
    }
}

}  // namespace
}  // namespace velta
