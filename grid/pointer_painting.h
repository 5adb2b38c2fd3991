// The 10 ms tick: paint (right button) or erase (middle button) the grid cell under the pointer,
// then give every marked pod the current colour.
#pragma once

#include <cstdint>

#include "model/panel_state.h"

namespace velta {

struct PointerSample {
    std::int32_t x = 0;  // client pixels of the dialog
    std::int32_t y = 0;
    bool rightHeld = false;
    bool middleHeld = false;
};

// Where a client point falls for painting. Inside the painting window but off the grid the tick
// ends before pod colouring; outside the window it goes on to colour pods.
enum class PaintArea { OutsideWindow, OffGrid, OnCell };
struct PaintTarget {
    PaintArea area = PaintArea::OutsideWindow;
    int cellIndex = -1;  // 0..383 when area is OnCell
    bool operator==(const PaintTarget&) const = default;
};
PaintTarget PaintTargetAt(std::int32_t x, std::int32_t y);

void SampleTick(PanelState& panel, const PointerSample& sample);
void ColorAllPods(PanelState& panel);

}  // namespace velta
