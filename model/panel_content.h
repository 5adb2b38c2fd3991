// What a user edits on the panel, as one value: the picture, the pod colours, the rings, the
// three sliders and the scrolling text. Design files, the edit history and the picture import
// all move content in and out of a PanelState through this type. A frame of a sequence is the
// same without the text, plus how long it is held when played.
#pragma once

#include <array>
#include <bitset>
#include <string>

#include "model/panel_state.h"

namespace velta {

struct PanelContent {
    std::bitset<kCellCount> cells;  // index = 32 * row + column, as in PanelState
    std::array<Color, kPodCount> pods{};
    std::bitset<kRingCount> rings;
    int ringLevel = kRingLevelMax;
    int gridBrightness = kGridBrightnessMax;
    int scrollSpeed = kScrollSpeedMax;
    std::string text;  // UTF-8

    bool operator==(const PanelContent&) const = default;
};

PanelContent CaptureContent(const PanelState& panel);

// Writes `content` into the panel through its public setters, so the window and the change
// tracking see ordinary edits. Only what differs is written (each differing cell, pod, ring and
// field once); equal content writes nothing. A pod whose colour is written also gets the LED
// colours a pod colouring gives it, so its LED shows the new colour at once.
void ApplyContent(PanelState& panel, const PanelContent& content);

inline constexpr int kDefaultHoldMs = 100;
inline constexpr int kMinHoldMs = 1;
inline constexpr int kMaxHoldMs = 60000;
constexpr int ClampHoldMs(int ms) {
    return ms < kMinHoldMs ? kMinHoldMs : ms > kMaxHoldMs ? kMaxHoldMs : ms;
}

// One frame of a display sequence: what the panel shows, without the scrolling text and the
// feature boxes, and how long it is held when the sequence is played.
struct SequenceFrame {
    std::bitset<kCellCount> cells;  // index = 32 * row + column
    std::array<Color, kPodCount> pods{};
    std::bitset<kRingCount> rings;
    int ringLevel = kRingLevelMax;
    int gridBrightness = kGridBrightnessMax;
    int scrollSpeed = kScrollSpeedMax;
    int holdMs = kDefaultHoldMs;

    bool operator==(const SequenceFrame&) const = default;
};

// `holdMs` is clamped to kMinHoldMs..kMaxHoldMs.
SequenceFrame CaptureFrame(const PanelState& panel, int holdMs = kDefaultHoldMs);

// As ApplyContent for everything a frame holds: only what differs is written, through the
// panel's setters, and a pod whose colour is written shows it on its LED at once. The text, the
// feature boxes and the fill mode are left as they are.
void ApplyFrame(PanelState& panel, const SequenceFrame& frame);

}  // namespace velta
