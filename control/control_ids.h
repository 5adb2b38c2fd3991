// The ids of the panel's controls: the window builds its controls under these ids and the
// controller maps each id to what it runs.
#pragma once

namespace velta::panel_id {

constexpr int kStatus = 1003;
constexpr int kSelectAll = 1010;
constexpr int kDeselectAll = 1011;
constexpr int kShiftLeft = 1012;
constexpr int kShiftRight = 1013;
constexpr int kShiftUp = 1014;
constexpr int kShiftDown = 1016;
constexpr int kShiftInwards = 1017;
constexpr int kShiftOutwards = 1018;
constexpr int kShiftDownwards = 1019;
constexpr int kShiftUpwards = 1020;
constexpr int kSaveSequence = 1029;
constexpr int kInvertGrid = 1030;
constexpr int kFillAllOn = 1031;
constexpr int kFillAllOff = 1032;
constexpr int kFillCopy = 1033;
constexpr int kDataCenter = 1034;
constexpr int kConnectTx = 1037;
constexpr int kUpdateData = 1038;
constexpr int kPodColour = 1046;
constexpr int kScrollSpeed = 1048;
constexpr int kRingLevel = 1049;
constexpr int kGridBrightness = 1050;
constexpr int kScrollingTextBox = 1051;
constexpr int kGridBrightnessBox = 1052;
constexpr int kRingBrightnessBox = 1053;
constexpr int kRgbPodsBox = 1054;
constexpr int kLedGridBox = 1055;
constexpr int kLedRingsBox = 1056;
constexpr int kAutoUpdate = 1059;
constexpr int kColorAllPods = 1060;
constexpr int kRfMode = 1061;
constexpr int kScrollText = 1062;

}  // namespace velta::panel_id
