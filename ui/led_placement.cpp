#include "ui/led_placement.h"

#include <algorithm>

namespace velta::ui {

std::array<LedPlacement, kLedCount> LedPlacements() {
    std::array<LedPlacement, kLedCount> all{};
    int n = 0;
    for (int cell = 0; cell < kCellCount; ++cell)
        all[n++] = {LedKind::GridCell, cell, GridLedPosition(cell)};
    for (int pod = 0; pod < kPodCount; ++pod)
        all[n++] = {LedKind::Pod, pod, PodLedPosition(pod)};
    // The corner rings come last, in the order top left, top right, bottom left, bottom right.
    constexpr std::array<int, kRingCount> kRingOrder = {0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 9, 10};
    for (int ring : kRingOrder)
        all[n++] = {LedKind::Ring, ring, RingLedPosition(ring)};
    return all;
}

std::vector<LedPlacement> FieldLeds(int fieldId) {
    std::vector<LedPlacement> leds;
    for (const LedPlacement& led : LedPlacements()) {
        if (FieldOf(led.kind, led.index) == fieldId)
            leds.push_back(led);
    }
    return leds;
}

LedRect FieldBounds(int fieldId) {
    const std::vector<LedPlacement> leds = FieldLeds(fieldId);
    if (leds.empty())
        return {};
    int left = leds.front().topLeft.x;
    int top = leds.front().topLeft.y;
    int right = left;
    int bottom = top;
    for (const LedPlacement& led : leds) {
        left = std::min(left, led.topLeft.x);
        top = std::min(top, led.topLeft.y);
        right = std::max(right, led.topLeft.x + kLedWidth);
        bottom = std::max(bottom, led.topLeft.y + kLedHeight);
    }
    return {left, top, right - left, bottom - top};
}

}  // namespace velta::ui
