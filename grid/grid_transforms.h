// Whole-picture commands of the "LED Grid Controls" box. Each writes every one of the 384 cells
// exactly once (so each LED repaints once) and allocates nothing.
#pragma once

#include "model/panel_state.h"

namespace velta {

enum class ShiftDirection { Left = 1, Right = 2, Up = 3, Down = 4 };

void SelectAll(PanelState& panel);
void DeselectAll(PanelState& panel);
void InvertGrid(PanelState& panel);

void ShiftLeft(PanelState& panel);
void ShiftRight(PanelState& panel);
void ShiftUp(PanelState& panel);
void ShiftDown(PanelState& panel);

void ShiftInwards(PanelState& panel);
void ShiftOutwards(PanelState& panel);
void ShiftDownwards(PanelState& panel);
void ShiftUpwards(PanelState& panel);

// The routines behind the shifts; a direction a routine does not handle changes nothing.
void ShiftRows(PanelState& panel, ShiftDirection direction);
void ShiftColumns(PanelState& panel, ShiftDirection direction);
void ShiftLeftHalf(PanelState& panel, ShiftDirection direction, FillMode fill);
void ShiftRightHalf(PanelState& panel, ShiftDirection direction, FillMode fill);
void ShiftUpperHalf(PanelState& panel, ShiftDirection direction, FillMode fill);
void ShiftLowerHalf(PanelState& panel, ShiftDirection direction, FillMode fill);

}  // namespace velta
