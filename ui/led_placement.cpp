#include "ui/led_placement.h"

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

}  // namespace velta::ui
