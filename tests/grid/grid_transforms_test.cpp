#include "grid/grid_transforms.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace velta {
namespace {

using Picture = std::array<std::array<bool, kColumns>, kRows>;  // [row][column]

void Load(PanelState& panel, const Picture& picture) {
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c)
            panel.SetCell(r, c, picture[r][c]);
    }
}

Picture Read(const PanelState& panel) {
    Picture picture{};
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c)
            picture[r][c] = panel.Cell(r, c);
    }
    return picture;
}

Picture Random(std::mt19937& rng) {
    std::bernoulli_distribution coin(0.5);
    Picture picture{};
    for (auto& row : picture) {
        for (auto& cell : row)
            cell = coin(rng);
    }
    return picture;
}

Picture AllLit() {
    Picture picture{};
    for (auto& row : picture)
        row.fill(true);
    return picture;
}

std::string Describe(const Picture& picture) {
    std::string text;
    for (const auto& row : picture) {
        for (bool cell : row)
            text += cell ? '#' : '.';
        text += '\n';
    }
    return text;
}

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

struct NamedCommand {
    const char* name;
    Command run;
};

const NamedCommand kAllCommands[] = {
    {"SelectAll", SelectAll},         {"DeselectAll", DeselectAll},
    {"InvertGrid", InvertGrid},       {"ShiftLeft", ShiftLeft},
    {"ShiftRight", ShiftRight},       {"ShiftUp", ShiftUp},
    {"ShiftDown", ShiftDown},         {"ShiftInwards", ShiftInwards},
    {"ShiftOutwards", ShiftOutwards}, {"ShiftDownwards", ShiftDownwards},
    {"ShiftUpwards", ShiftUpwards},
};

constexpr FillMode kFillModes[] = {FillMode::AllOff, FillMode::AllOn, FillMode::Copy};

// ---------------------------------------------------------------------------------------------
// Reference model: what each command makes of the old picture, cell by cell, written from the
// net effect of the commands rather than from their visiting order.

bool FillValue(FillMode fill, bool copied) {
    switch (fill) {
        case FillMode::AllOff:
            return false;
        case FillMode::AllOn:
            return true;
        case FillMode::Copy:
            return copied;
    }
    return false;
}

using Reference = std::function<bool(const Picture& old, int r, int c, FillMode fill)>;

const std::pair<Command, Reference> kReferences[] = {
    {ShiftLeft, [](const Picture& o, int r, int c, FillMode) { return c < 31 && o[r][c + 1]; }},
    {ShiftRight, [](const Picture& o, int r, int c, FillMode) { return c > 0 && o[r][c - 1]; }},
    {ShiftUp, [](const Picture& o, int r, int c, FillMode) { return r < 11 && o[r + 1][c]; }},
    {ShiftDown, [](const Picture& o, int r, int c, FillMode) { return r > 0 && o[r - 1][c]; }},
    // Columns 0-14 move to 1-15 and 17-31 to 16-30; columns 0 and 31 are filled, Copy = off.
    {ShiftInwards,
     [](const Picture& o, int r, int c, FillMode f) {
         if (c == 0 || c == 31)
             return FillValue(f, false);
         return c <= 15 ? o[r][c - 1] : o[r][c + 1];
     }},
    // Columns 1-15 move to 0-14 and 16-30 to 17-31; columns 15 and 16 are filled, Copy = old 16.
    {ShiftOutwards,
     [](const Picture& o, int r, int c, FillMode f) {
         if (c == 15 || c == 16)
             return FillValue(f, o[r][16]);
         return c < 15 ? o[r][c + 1] : o[r][c - 1];
     }},
    // Rows 0-4 move to 1-5 and 7-11 to 6-10; rows 0 and 11 are filled, Copy keeps them.
    {ShiftDownwards,
     [](const Picture& o, int r, int c, FillMode f) {
         if (r == 0 || r == 11)
             return FillValue(f, o[r][c]);
         return r <= 5 ? o[r - 1][c] : o[r + 1][c];
     }},
    // Rows 1-5 move to 0-4 and 6-10 to 7-11; rows 5 and 6 are filled, Copy = old row 6.
    {ShiftUpwards,
     [](const Picture& o, int r, int c, FillMode f) {
         if (r == 5 || r == 6)
             return FillValue(f, o[6][c]);
         return r < 5 ? o[r + 1][c] : o[r - 1][c];
     }},
    {SelectAll, [](const Picture&, int, int, FillMode) { return true; }},
    {DeselectAll, [](const Picture&, int, int, FillMode) { return false; }},
    {InvertGrid, [](const Picture& o, int r, int c, FillMode) { return !o[r][c]; }},
};

Picture Expected(const Reference& reference, const Picture& old, FillMode fill) {
    Picture picture{};
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c)
            picture[r][c] = reference(old, r, c, fill);
    }
    return picture;
}

TEST(GridTransforms, EveryCommandMatchesTheReferenceOnRandomPictures) {
    std::mt19937 rng(20240611);
    for (int trial = 0; trial < 40; ++trial) {
        const Picture old = Random(rng);
        for (const auto& [command, reference] : kReferences) {
            for (FillMode fill : kFillModes) {
                PanelState panel;
                panel.SetFillMode(fill);
                Load(panel, old);
                command(panel);
                const Picture want = Expected(reference, old, fill);
                ASSERT_EQ(Describe(Read(panel)), Describe(want))
                    << "trial " << trial << " fill " << static_cast<int>(fill);
            }
        }
    }
}

// Pictures that single out the lines where the fill and Copy rules act.
struct LineCase {
    const char* name;
    Command command;
    FillMode fill;
    Picture before;
    Picture after;
};

Picture Columns(std::initializer_list<int> columns) {
    Picture picture{};
    for (int c : columns) {
        for (auto& row : picture)
            row[c] = true;
    }
    return picture;
}

Picture Rows(std::initializer_list<int> rows) {
    Picture picture{};
    for (int r : rows)
        picture[r].fill(true);
    return picture;
}

TEST(GridTransforms, HalfShiftsFillTheVacatedLines) {
    const LineCase cases[] = {
        {"outwards copy col16", ShiftOutwards, FillMode::Copy, Columns({16}),
         Columns({15, 16, 17})},
        {"outwards copy col15", ShiftOutwards, FillMode::Copy, Columns({15}), Columns({14})},
        {"outwards off col16", ShiftOutwards, FillMode::AllOff, Columns({16}), Columns({17})},
        {"outwards on empty", ShiftOutwards, FillMode::AllOn, Picture{}, Columns({15, 16})},
        {"inwards on empty", ShiftInwards, FillMode::AllOn, Picture{}, Columns({0, 31})},
        {"inwards copy col0+31", ShiftInwards, FillMode::Copy, Columns({0, 31}), Columns({1, 30})},
        {"inwards off col15+16", ShiftInwards, FillMode::AllOff, Columns({15, 16}), Picture{}},
        {"inwards on full", ShiftInwards, FillMode::AllOn, AllLit(), AllLit()},
        {"upwards copy row6", ShiftUpwards, FillMode::Copy, Rows({6}), Rows({5, 6, 7})},
        {"upwards copy row5", ShiftUpwards, FillMode::Copy, Rows({5}), Rows({4})},
        {"upwards on empty", ShiftUpwards, FillMode::AllOn, Picture{}, Rows({5, 6})},
        {"upwards off row0+11", ShiftUpwards, FillMode::AllOff, Rows({0, 11}), Picture{}},
        {"downwards copy row0", ShiftDownwards, FillMode::Copy, Rows({0}), Rows({0, 1})},
        {"downwards copy row11", ShiftDownwards, FillMode::Copy, Rows({11}), Rows({10, 11})},
        {"downwards copy row5+6", ShiftDownwards, FillMode::Copy, Rows({5, 6}), Picture{}},
        {"downwards on empty", ShiftDownwards, FillMode::AllOn, Picture{}, Rows({0, 11})},
        {"downwards off row0", ShiftDownwards, FillMode::AllOff, Rows({0}), Rows({1})},
    };
    for (const auto& test : cases) {
        PanelState panel;
        panel.SetFillMode(test.fill);
        Load(panel, test.before);
        test.command(panel);
        EXPECT_EQ(Describe(Read(panel)), Describe(test.after)) << test.name;
    }
}

TEST(GridTransforms, RepeatedShiftsClearOrFillAnyPicture) {
    struct Case {
        Command command;
        FillMode fill;
        int times;
        bool lit;  // every cell afterwards
    };
    const Case cases[] = {
        {ShiftLeft, FillMode::AllOn, 32, false},      {ShiftRight, FillMode::AllOn, 32, false},
        {ShiftUp, FillMode::AllOn, 12, false},        {ShiftDown, FillMode::AllOn, 12, false},
        {ShiftDownwards, FillMode::AllOff, 6, false}, {ShiftDownwards, FillMode::AllOn, 6, true},
    };
    std::mt19937 rng(7);
    for (const auto& test : cases) {
        PanelState panel;
        panel.SetFillMode(test.fill);
        Load(panel, Random(rng));
        for (int i = 0; i < test.times; ++i)
            test.command(panel);
        EXPECT_EQ(Describe(Read(panel)), Describe(test.lit ? AllLit() : Picture{}));
    }
}

TEST(GridTransforms, InvertTwiceRestoresAndKeepsLedDataPacked) {
    std::mt19937 rng(3);
    const Picture start = Random(rng);
    PanelState panel;
    Load(panel, start);
    for (int round = 1; round <= 2; ++round) {
        InvertGrid(panel);
        // Word n holds column n with row r in bit r.
        for (int c = 0; c < kColumns; ++c) {
            std::uint32_t want = 0;
            for (int r = 0; r < kRows; ++r) {
                if (start[r][c] == (round == 2))
                    want |= 1u << r;
            }
            EXPECT_EQ(panel.LED_data()[c], want) << "round " << round << " column " << c;
        }
    }
    EXPECT_EQ(Describe(Read(panel)), Describe(start));
}

TEST(GridTransforms, EveryCommandWritesEachCellExactlyOnce) {
    std::mt19937 rng(5);
    for (const auto& named : kAllCommands) {
        for (FillMode fill : kFillModes) {
            PanelState panel;
            panel.SetFillMode(fill);
            Load(panel, Random(rng));
            WriteCounter counter;
            panel.SetObserver(&counter);
            named.run(panel);
            for (int i = 0; i < kCellCount; ++i) {
                ASSERT_EQ(counter.writes[i], 1) << named.name << " cell " << i;
            }
        }
    }
}

TEST(GridTransforms, RoutinesIgnoreDirectionsTheyDoNotHandle) {
    using Routine = std::function<void(PanelState&, ShiftDirection)>;
    struct Case {
        const char* name;
        Routine routine;
        std::vector<int> ignored;  // raw direction codes
    };
    const auto half = [](auto fn) {
        return [fn](PanelState& p, ShiftDirection d) { fn(p, d, FillMode::AllOn); };
    };
    const Case cases[] = {
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
            EXPECT_EQ(Describe(Read(panel)), Describe(start)) << test.name << " " << code;
        }
    }
}

// Switches the fill mode on the first write of a command, as if the mode changed mid-command.
class FillModeFlipper : public PanelObserver {
  public:
    explicit FillModeFlipper(PanelState& panel) : panel_(panel) {}
    void OnCellWritten(int, bool) override {
        if (!flipped_) {
            flipped_ = true;
            panel_.SetFillMode(FillMode::AllOn);
        }
    }

  private:
    PanelState& panel_;
    bool flipped_ = false;
};

TEST(GridTransforms, HalfShiftsFillBothHalvesWithTheModeTheyStartedWith) {
    // Started under AllOff on an empty grid, a command must leave it empty even though the
    // mode turns to AllOn after its first write.
    for (Command command : {ShiftInwards, ShiftOutwards, ShiftDownwards, ShiftUpwards}) {
        PanelState panel;
        FillModeFlipper flipper(panel);
        panel.SetObserver(&flipper);
        command(panel);
        EXPECT_EQ(Describe(Read(panel)), Describe(Picture{}));
    }
}

}  // namespace
}  // namespace velta
