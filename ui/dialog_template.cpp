#include "ui/dialog_template.h"

namespace velta::ui {

namespace {

using namespace flag;

constexpr TemplateControl Push(int id, std::string_view caption, Rect r, ControlFlags extra = 0) {
    return {id, ControlKind::PushButton, kInTabOrder | extra, caption, r};
}
constexpr TemplateControl Frame(std::string_view caption, Rect r) {
    return {kNoId, ControlKind::GroupBox, kCaptionCentred, caption, r};
}
constexpr TemplateControl Text(std::string_view caption, Rect r) {
    return {kNoId, ControlKind::Label, 0, caption, r};
}
constexpr TemplateControl Check(int id, std::string_view caption, Rect r, ControlFlags extra = 0) {
    return {id, ControlKind::CheckBox, kInTabOrder | extra, caption, r};
}
constexpr TemplateControl Slider(int id, Rect r) {
    return {id, ControlKind::Slider, kInTabOrder, {}, r};
}

}  // namespace

const std::array<TemplateControl, kTemplateControlCount> kDialogTemplate = {{
    Push(id::kSelectAll, "Select &All", {7, 209, 49, 14}),
    Push(id::kDeselectAll, "&Deselect All", {64, 209, 49, 14}),
    Push(id::kShiftLeft, "Shift &Left", {7, 230, 49, 14}),
    Push(id::kShiftRight, "Shift &Right", {64, 230, 49, 14}),
    Push(id::kShiftUp, "Shift &Up", {7, 251, 49, 14}),
    Push(id::kShiftDown, "Shift &Down", {64, 251, 49, 14}),
    Push(id::kSaveSequence, "&Save Sequence", {64, 294, 49, 19}, kMultiLine),
    {id::kFillAllOff, ControlKind::RadioButton, 0, "All Off", {13, 279, 35, 10}},
    {id::kFillAllOn, ControlKind::RadioButton, 0, "All On", {13, 290, 35, 10}},
    {id::kFillCopy, ControlKind::RadioButton, 0, "Copy", {13, 301, 32, 10}},
    Frame("Horizontal", {121, 247, 113, 34}),
    Push(id::kShiftInwards, "Shift &Inwards", {127, 259, 49, 14}),
    Push(id::kShiftOutwards, "Shift &Outwards", {181, 259, 49, 14}),
    Frame("Vertical", {121, 205, 113, 34}),
    Push(id::kShiftDownwards, "Downwards", {127, 217, 49, 14}),
    Push(id::kShiftUpwards, "Upwards", {181, 217, 49, 14}),
    Frame({}, {66, 22, 390, 146}),  // the grid
    Frame("Pixel Ctrl", {11, 270, 39, 43}),
    {id::kDataCenter, ControlKind::Edit, kInTabOrder | kMultiLine, {}, {525, 35, 147, 282}},
    Text("Data Center", {579, 27, 39, 8}),
    Push(id::kConnectTx, "Connect Tx", {254, 234, 50, 14}),
    Push(id::kUpdateData, "Update Data", {317, 234, 50, 14}),
    Frame("USB Statistics", {250, 197, 126, 120}),
    {id::kStatus, ControlKind::Edit, kInTabOrder | kReadOnly, {}, {254, 215, 113, 12}},
    Text("Status", {295, 206, 21, 8}),
    Frame({}, {7, 67, 56, 56}),    // the "Master Side" pods
    Frame({}, {458, 67, 56, 56}),  // the "Secondary Side" pods
    Text("Master Side", {16, 124, 38, 8}),
    Text("Secondary Side", {460, 124, 51, 8}),
    Frame({}, {66, 4, 390, 21}),    // the top rings
    Frame({}, {66, 165, 390, 21}),  // the bottom rings
    Frame({}, {2, 0, 517, 191}),    // the whole display
    {id::kPodColour, ControlKind::ComboBox, kInTabOrder, {}, {525, 11, 81, 118}},
    Text("RGB Pod Colour", {537, 2, 57, 8}),
    Slider(id::kScrollSpeed, {461, 299, 54, 12}),
    Frame("Brightness", {459, 197, 60, 84}),
    Text("min", {461, 206, 12, 8}),
    Text("max", {503, 206, 14, 8}),
    Slider(id::kRingLevel, {461, 227, 54, 12}),
    Text("LED Rings", {471, 218, 34, 8}),
    Slider(id::kGridBrightness, {461, 261, 54, 12}),
    Text("LED Grid", {472, 252, 34, 8}),
    Frame("Features to Update", {383, 197, 70, 120}),
    Check(id::kGridBrightnessBox, "Grid Brightness", {386, 282, 63, 10}, kStartsDisabled),
    Check(id::kRingBrightnessBox, "Ring Brightness", {386, 300, 65, 10}, kStartsDisabled),
    Check(id::kRgbPodsBox, "RGB Pods", {386, 246, 49, 10}),
    Check(id::kLedGridBox, "LED Grid", {386, 210, 45, 10}),
    Check(id::kLedRingsBox, "LED Rings", {386, 264, 50, 10}),
    Check(id::kAutoUpdate, "Auto Update", {317, 259, 56, 10}),
    Frame("LED Grid Controls", {2, 197, 241, 120}),
    Push(id::kColorAllPods, "Color All Pods", {614, 11, 58, 12}),
    Push(id::kInvertGrid, "&Invert Grid", {64, 270, 49, 14}, kMultiLine),
    Push(id::kRfMode, "Activate RF Mode", {254, 253, 50, 21}, kMultiLine),
    Text("Set Scrolling Text", {149, 288, 56, 8}),
    {id::kScrollText, ControlKind::Edit, kInTabOrder, {}, {121, 298, 113, 14}},
    Check(id::kScrollingTextBox, "Scrolling Text", {386, 228, 59, 10}),
    Frame("Scroll Speed", {459, 286, 60, 31}),
}};

const std::array<int, kTabStopCount> kTabOrder = {
    // The display: the rings round it, then left to right the pods and the grid.
    field_id::kRings,
    field_id::kMasterPods,
    field_id::kGrid,
    field_id::kSecondaryPods,
    // The pods' colour, right of the display.
    id::kPodColour,
    id::kColorAllPods,
    // "LED Grid Controls": the two columns of buttons row by row with "Pixel Ctrl" beside
    // "Invert Grid", then the half shifts and the text.
    id::kSelectAll,
    id::kDeselectAll,
    id::kShiftLeft,
    id::kShiftRight,
    id::kShiftUp,
    id::kShiftDown,
    id::kFillAllOff,
    id::kFillAllOn,
    id::kFillCopy,
    id::kInvertGrid,
    id::kSaveSequence,
    id::kShiftDownwards,
    id::kShiftUpwards,
    id::kShiftInwards,
    id::kShiftOutwards,
    id::kScrollText,
    // "USB Statistics".
    id::kStatus,
    id::kConnectTx,
    id::kUpdateData,
    id::kRfMode,
    id::kAutoUpdate,
    // "Features to Update", top to bottom.
    id::kLedGridBox,
    id::kScrollingTextBox,
    id::kRgbPodsBox,
    id::kLedRingsBox,
    id::kGridBrightnessBox,
    id::kRingBrightnessBox,
    // "Brightness" and "Scroll Speed".
    id::kRingLevel,
    id::kGridBrightness,
    id::kScrollSpeed,
    // The Data Center, the right column's whole height.
    id::kDataCenter,
};

const std::array<AccessibleText, kAccessibleTextCount> kAccessibleTexts = {{
    {field_id::kGrid, "LED grid",
     "12 rows of 32 LEDs. Arrow keys move; Space or Enter switches the LED; Home and End go to "
     "the ends of the row, Page Up and Page Down to the top and bottom row, Control with Home "
     "or End to the first or last LED."},
    {field_id::kMasterPods, "Master Side pods",
     "Ten RGB pods. Arrow keys move; Space or Enter gives the pod the RGB Pod Colour."},
    {field_id::kSecondaryPods, "Secondary Side pods",
     "Ten RGB pods. Arrow keys move; Space or Enter gives the pod the RGB Pod Colour."},
    {field_id::kRings, "LED rings",
     "Twelve LED rings round the grid. Arrow keys move; Space or Enter switches the ring."},
    {id::kPodColour, "RGB Pod Colour", {}},
    {id::kStatus, "Status", {}},
    {id::kScrollText, "Set Scrolling Text", {}},
    {id::kDataCenter, "Data Center", {}},
    {id::kRingLevel, "LED Rings Brightness", {}},
    {id::kGridBrightness, "LED Grid Brightness", {}},
    {id::kScrollSpeed, "Scroll Speed", {}},
}};

const AccessibleText* FindAccessibleText(int id) {
    for (const auto& text : kAccessibleTexts) {
        if (text.id == id)
            return &text;
    }
    return nullptr;
}

const TemplateControl* FindTemplateControl(int id) {
    if (id == kNoId)
        return nullptr;
    for (const auto& control : kDialogTemplate) {
        if (control.id == id)
            return &control;
    }
    return nullptr;
}

}  // namespace velta::ui
