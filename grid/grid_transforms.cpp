#include "grid/grid_transforms.h"

namespace velta {

namespace {

// One shift routine as a walk over the grid: `lines` lines whose first visited cells are
// origin, origin + lineStep, ...; within a line `cells` cells, origin of the line, then
// + cellStep, ... Each visited cell but the last takes the value of the next one to be visited
// (the neighbour the content comes from), read before that neighbour is overwritten. The last
// visited cell is the vacated one.
struct Walk {
    int origin;
    int lineStep;
    int lines;
    int cellStep;
    int cells;
    // Under Copy the vacated cell takes the cell at this offset from it; a vacated cell on the
    // outer edge of the grid has nothing to copy and goes off.
    bool copies;
    int copyOffset;
};

constexpr int kLastRow = kRows - 1;
constexpr int kLastColumn = kColumns - 1;
constexpr int kHalfColumns = kColumns / 2;  // 16: the left half is 0..15
constexpr int kHalfRows = kRows / 2;        // 6: the upper half is 0..5

constexpr int At(int row, int column) {
    return PanelState::CellIndex(row, column);
}

// Whole rows and columns: the vacated line always goes off, so no copy source.
constexpr Walk kRowsLeft{At(0, 0), kColumns, kRows, 1, kColumns, false, 0};
constexpr Walk kRowsRight{At(kLastRow, kLastColumn), -kColumns, kRows, -1, kColumns, false, 0};
constexpr Walk kColumnsUp{At(0, 0), 1, kColumns, kColumns, kRows, false, 0};
constexpr Walk kColumnsDown{At(kLastRow, kLastColumn), -1, kColumns, -kColumns, kRows, false, 0};

// Halves. The copy sources at the centre line lie in the other half; those of rows 0 and 11 are
// the cell just written in the same column, which already holds the vacated cell's old value.
constexpr Walk kLeftHalfLeft{At(0, 0), kColumns, kRows, 1, kHalfColumns, true, 1};
constexpr Walk kLeftHalfRight{
    At(kLastRow, kHalfColumns - 1), -kColumns, kRows, -1, kHalfColumns, false, 0};
constexpr Walk kRightHalfLeft{At(0, kHalfColumns), kColumns, kRows, 1, kHalfColumns, false, 0};
constexpr Walk kRightHalfRight{
    At(kLastRow, kLastColumn), -kColumns, kRows, -1, kHalfColumns, true, -1};
constexpr Walk kUpperHalfUp{At(0, 0), 1, kColumns, kColumns, kHalfRows, true, kColumns};
constexpr Walk kUpperHalfDown{
    At(kHalfRows - 1, kLastColumn), -1, kColumns, -kColumns, kHalfRows, true, kColumns};
constexpr Walk kLowerHalfUp{At(kHalfRows, 0), 1, kColumns, kColumns, kHalfRows, true, -kColumns};
constexpr Walk kLowerHalfDown{
    At(kLastRow, kLastColumn), -1, kColumns, -kColumns, kHalfRows, true, -kColumns};

bool VacatedValue(const PanelState& panel, const Walk& walk, int vacated, FillMode fill) {
    switch (fill) {
        case FillMode::AllOn:
            return true;
        case FillMode::Copy:
            return walk.copies && panel.Cell(vacated + walk.copyOffset);
        case FillMode::AllOff:
            break;
    }
    return false;
}

void Run(PanelState& panel, const Walk& walk, FillMode fill) {
    for (int line = 0; line < walk.lines; ++line) {
        int cell = walk.origin + line * walk.lineStep;
        for (int k = 0; k + 1 < walk.cells; ++k, cell += walk.cellStep) {
            panel.SetCell(cell, panel.Cell(cell + walk.cellStep));
        }
        panel.SetCell(cell, VacatedValue(panel, walk, cell, fill));
    }
}

// The routine's walk for a direction it handles; nullptr for any other direction.
const Walk* Pick(ShiftDirection direction, ShiftDirection first, const Walk& firstWalk,
                 ShiftDirection second, const Walk& secondWalk) {
    if (direction == first)
        return &firstWalk;
    if (direction == second)
        return &secondWalk;
    return nullptr;
}

void RunIfHandled(PanelState& panel, const Walk* walk, FillMode fill) {
    if (walk != nullptr)
        Run(panel, *walk, fill);
}

void FillGrid(PanelState& panel, bool on) {
    for (int index = 0; index < kCellCount; ++index)
        panel.SetCell(index, on);
}

using HalfRoutine = void (*)(PanelState&, ShiftDirection, FillMode);

// A half-shift command: two routines in turn, the second reading the grid as the first left it.
// The fill mode is read once, so both halves of a command fill alike.
void HalfShift(PanelState& panel, HalfRoutine first, ShiftDirection firstDirection,
               HalfRoutine second, ShiftDirection secondDirection) {
    const FillMode fill = panel.GetFillMode();
    first(panel, firstDirection, fill);
    second(panel, secondDirection, fill);
}

}  // namespace

void SelectAll(PanelState& panel) {
    FillGrid(panel, true);
}

void DeselectAll(PanelState& panel) {
    FillGrid(panel, false);
}

void InvertGrid(PanelState& panel) {
    for (int column = 0; column < kColumns; ++column) {
        for (int row = 0; row < kRows; ++row) {
            const int index = PanelState::CellIndex(row, column);
            panel.SetCell(index, !panel.Cell(index));
        }
    }
}

void ShiftRows(PanelState& panel, ShiftDirection direction) {
    using enum ShiftDirection;
    RunIfHandled(panel, Pick(direction, Left, kRowsLeft, Right, kRowsRight), FillMode::AllOff);
}

void ShiftColumns(PanelState& panel, ShiftDirection direction) {
    using enum ShiftDirection;
    RunIfHandled(panel, Pick(direction, Up, kColumnsUp, Down, kColumnsDown), FillMode::AllOff);
}

void ShiftLeftHalf(PanelState& panel, ShiftDirection direction, FillMode fill) {
    using enum ShiftDirection;
    RunIfHandled(panel, Pick(direction, Left, kLeftHalfLeft, Right, kLeftHalfRight), fill);
}

void ShiftRightHalf(PanelState& panel, ShiftDirection direction, FillMode fill) {
    using enum ShiftDirection;
    RunIfHandled(panel, Pick(direction, Left, kRightHalfLeft, Right, kRightHalfRight), fill);
}

void ShiftUpperHalf(PanelState& panel, ShiftDirection direction, FillMode fill) {
    using enum ShiftDirection;
    RunIfHandled(panel, Pick(direction, Up, kUpperHalfUp, Down, kUpperHalfDown), fill);
}

void ShiftLowerHalf(PanelState& panel, ShiftDirection direction, FillMode fill) {
    using enum ShiftDirection;
    RunIfHandled(panel, Pick(direction, Up, kLowerHalfUp, Down, kLowerHalfDown), fill);
}

void ShiftLeft(PanelState& panel) {
    ShiftRows(panel, ShiftDirection::Left);
}
void ShiftRight(PanelState& panel) {
    ShiftRows(panel, ShiftDirection::Right);
}
void ShiftUp(PanelState& panel) {
    ShiftColumns(panel, ShiftDirection::Up);
}
void ShiftDown(PanelState& panel) {
    ShiftColumns(panel, ShiftDirection::Down);
}

void ShiftInwards(PanelState& panel) {
    HalfShift(panel, ShiftLeftHalf, ShiftDirection::Right, ShiftRightHalf, ShiftDirection::Left);
}

void ShiftOutwards(PanelState& panel) {
    HalfShift(panel, ShiftLeftHalf, ShiftDirection::Left, ShiftRightHalf, ShiftDirection::Right);
}

void ShiftDownwards(PanelState& panel) {
    HalfShift(panel, ShiftUpperHalf, ShiftDirection::Down, ShiftLowerHalf, ShiftDirection::Up);
}

void ShiftUpwards(PanelState& panel) {
    HalfShift(panel, ShiftUpperHalf, ShiftDirection::Up, ShiftLowerHalf, ShiftDirection::Down);
}

}  // namespace velta
