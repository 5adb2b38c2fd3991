// Where the 416 LEDs of the window sit: fixed pixel positions in the panel's own pixel space (the
// space of the dialog template at scale 1), in the order they are drawn (grid row by row, "Master
// Side" pods, "Secondary Side" pods, the eight edge rings, then the corner rings 8, 11, 9, 10).
// The pointer painting uses the same pixel space; the window scales the whole panel and maps the
// pointer back into it. The LEDs are shown by four fields (the grid, each side's pods, the
// rings), each one keyboard focus stop. Plain C++ so the layout can be checked without Qt.
#pragma once

#include <array>
#include <vector>

#include "model/panel_state.h"

namespace velta::ui {

constexpr int kLedWidth = 18;
constexpr int kLedHeight = 19;  // one pixel more than the grid pitch: rows overlap by one pixel
constexpr int kLedPitch = 18;
constexpr int kLedCount = kCellCount + kPodCount + kRingCount;  // 416

using velta::LedKind;

struct LedPoint {
    int x = 0;
    int y = 0;
    constexpr bool operator==(const LedPoint&) const = default;
};

struct LedPlacement {
    LedKind kind = LedKind::GridCell;
    int index = 0;  // the cell, pod or ring index in PanelState
    LedPoint topLeft;
};

// Top-left corners; out-of-range indices give {0, 0}.
constexpr LedPoint GridLedPosition(int cellIndex) {
    if (cellIndex < 0 || cellIndex >= kCellCount)
        return {};
    const int row = cellIndex / kColumns;
    const int column = cellIndex % kColumns;
    return {102 + kLedPitch * column, 50 + kLedPitch * row};
}

// Pods form two triangles of four columns (1, 2, 3, 4 pods) pointing at the grid; column k holds
// pods k(k+1)/2 .. k(k+1)/2 + k. The secondary triangle is the point mirror of the master one.
constexpr LedPoint PodLedPosition(int pod) {
    if (pod < 0 || pod >= kPodCount)
        return {};
    const bool secondary = pod >= kPodCount / 2;
    const int i = secondary ? pod - kPodCount / 2 : pod;
    int k = 0;
    while ((k + 1) * (k + 2) / 2 <= i)
        ++k;
    const int j = i - k * (k + 1) / 2;
    if (!secondary)
        return {72 - 18 * k, 148 - 9 * k + 18 * j};
    return {688 + 18 * k, 148 + 9 * k - 18 * j};
}

constexpr LedPoint RingLedPosition(int ring) {
    constexpr std::array<int, 4> kEdgeX = {110, 290, 470, 650};
    if (ring >= 0 && ring < 4)
        return {kEdgeX[ring], 18};
    if (ring >= 4 && ring < 8)
        return {kEdgeX[ring - 4], 279};
    switch (ring) {
        case 8:
            return {40, 35};
        case 9:
            return {40, 265};
        case 10:
            return {730, 265};
        case 11:
            return {730, 35};
        default:
            return {};
    }
}

// All LEDs in drawing order: where two overlap, the later one is on top.
std::array<LedPlacement, kLedCount> LedPlacements();

// The four LED fields, named by ids beside the template's control ids (the tab order lists both).
namespace field_id {
constexpr int kRings = 2001;
constexpr int kMasterPods = 2002;
constexpr int kGrid = 2003;
constexpr int kSecondaryPods = 2004;
}  // namespace field_id
constexpr std::array<int, 4> kLedFields = {field_id::kRings, field_id::kMasterPods, field_id::kGrid,
                                           field_id::kSecondaryPods};

// The field that shows this LED.
constexpr int FieldOf(LedKind kind, int index) {
    switch (kind) {
        case LedKind::GridCell:
            return field_id::kGrid;
        case LedKind::Pod:
            return index < kPodCount / 2 ? field_id::kMasterPods : field_id::kSecondaryPods;
        case LedKind::Ring:
            break;
    }
    return field_id::kRings;
}

// A field's LEDs in drawing order; empty for an unknown id.
std::vector<LedPlacement> FieldLeds(int fieldId);

// A LED's rectangle, and the rectangle that holds all of a field's LEDs (left, top, width, height
// in panel pixels).
struct LedRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    constexpr bool operator==(const LedRect&) const = default;
};
constexpr LedRect RectOf(const LedPlacement& led) {
    return {led.topLeft.x, led.topLeft.y, kLedWidth, kLedHeight};
}
LedRect FieldBounds(int fieldId);

}  // namespace velta::ui
