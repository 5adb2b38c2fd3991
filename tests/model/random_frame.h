// Random frames for the sequence tests.
#pragma once

#include <random>

#include "model/panel_content.h"

namespace velta::testing {

inline SequenceFrame RandomFrame(std::mt19937& rng) {
    SequenceFrame frame;
    for (int i = 0; i < kCellCount; ++i)
        frame.cells[static_cast<std::size_t>(i)] = rng() % 3 == 0;
    for (Color& pod : frame.pods)
        pod = rng() % 4 == 0 ? 0 : rng() & 0xFFFFFFu;
    for (int ring = 0; ring < kRingCount; ++ring)
        frame.rings[static_cast<std::size_t>(ring)] = rng() % 2 == 0;
    frame.ringLevel = static_cast<int>(rng() % (kRingLevelMax + 1));
    frame.gridBrightness = static_cast<int>(rng() % (kGridBrightnessMax + 1));
    frame.scrollSpeed = static_cast<int>(rng() % (kScrollSpeedMax + 1));
    frame.holdMs = kMinHoldMs + static_cast<int>(rng() % 500);
    return frame;
}

}  // namespace velta::testing
