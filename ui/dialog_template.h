// The window's layout: every ordinary control of the Control Center dialog with its rectangle in
// dialog units, the conversion of those units to pixels, the scale the whole panel is shown at,
// the keyboard's tab order and the names a screen reader gives the controls.
//
// The LEDs sit at fixed pixel positions (ui/led_placement.h); the controls are laid out in dialog
// units with the fixed base units 6 x 13, which puts both in the same pixel space (the panel's
// pixels at scale 1), so the frames enclose their LEDs. Plain C++ so the layout can be checked
// without a window.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "control/control_ids.h"
#include "ui/led_placement.h"

namespace velta::ui {

enum class ControlKind {
    PushButton,
    RadioButton,
    CheckBox,
    GroupBox,
    Label,
    Edit,
    ComboBox,
    Slider,
};

// How the window sets a control up, as a bit set.
using ControlFlags = std::uint32_t;
namespace flag {
constexpr ControlFlags kInTabOrder = 1u << 0;      // Tab reaches it (radio buttons always)
constexpr ControlFlags kMultiLine = 1u << 1;       // a wrapped caption, a box of many lines
constexpr ControlFlags kStartsDisabled = 1u << 2;  // greyed out until the window enables it
constexpr ControlFlags kCaptionCentred = 1u << 3;  // a frame's caption
constexpr ControlFlags kReadOnly = 1u << 4;        // a text box the user cannot type into
}  // namespace flag

// A rectangle: left, top, width, height.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    constexpr int Right() const { return x + width; }
    constexpr int Bottom() const { return y + height; }
    constexpr bool Contains(const Rect& inner) const {
        return inner.x >= x && inner.y >= y && inner.Right() <= Right() &&
               inner.Bottom() <= Bottom();
    }
    constexpr bool operator==(const Rect&) const = default;
};

constexpr int kNoId = -1;  // frames and labels have no id of their own

struct TemplateControl {
    int id = kNoId;
    ControlKind kind = ControlKind::Label;
    ControlFlags flags = 0;
    std::string_view caption;
    Rect units;  // dialog units
};

namespace id = ::velta::panel_id;

constexpr int kTemplateControlCount = 57;
// Client area of the dialog in dialog units.
constexpr int kDialogWidthUnits = 675;
constexpr int kDialogHeightUnits = 321;

// The controls in template order: the order they are built and stacked in.
extern const std::array<TemplateControl, kTemplateControlCount> kDialogTemplate;

// Dialog units to pixels with the fixed base units 6 x 13: x * 6 / 4 and y * 13 / 8, rounded to
// the nearest pixel with halves rounded up.
constexpr int HorizontalUnitsToPixels(int units) {
    return (units * 6 + 2) / 4;
}
constexpr int VerticalUnitsToPixels(int units) {
    return (units * 13 + 4) / 8;
}

// Converts the corners, not the sizes, so adjacent rectangles stay adjacent in pixels.
constexpr Rect UnitsToPixels(const Rect& units) {
    const int left = HorizontalUnitsToPixels(units.x);
    const int top = VerticalUnitsToPixels(units.y);
    const int right = HorizontalUnitsToPixels(units.Right());
    const int bottom = VerticalUnitsToPixels(units.Bottom());
    return Rect{left, top, right - left, bottom - top};
}

constexpr int kClientWidth = HorizontalUnitsToPixels(kDialogWidthUnits);
constexpr int kClientHeight = VerticalUnitsToPixels(kDialogHeightUnits);

// The control with this id, or nullptr; for kNoId there is no single answer, so nullptr.
const TemplateControl* FindTemplateControl(int id);

// The panel shown at a scale: every rectangle of the template and every LED multiplied by one
// factor, corners rounded to whole pixels (so neighbours stay neighbours), the captions' font too.
// The layout was made for a caption font of 10 pixels.
constexpr int kDesignCaptionPixels = 10;
inline int ScaleEdge(int pixels, double scale) {
    return static_cast<int>(std::lround(pixels * scale));
}
inline Rect ScaleRect(const Rect& r, double scale) {
    const int left = ScaleEdge(r.x, scale);
    const int top = ScaleEdge(r.y, scale);
    return {left, top, ScaleEdge(r.Right(), scale) - left, ScaleEdge(r.Bottom(), scale) - top};
}
// The largest scale at which the whole panel fits into width x height pixels.
inline double FitScale(int width, int height) {
    return std::min(static_cast<double>(width) / kClientWidth,
                    static_cast<double>(height) / kClientHeight);
}

// The keyboard's way through the panel: reading order, top-left to bottom-right, group by group.
// Template control ids and the four LED fields (field_id), each one stop.
constexpr int kTabStopCount = 37;
extern const std::array<int, kTabStopCount> kTabOrder;

// What a screen reader calls the controls that have no caption of their own (or whose caption
// is a wrapped or changing text), and, where the tooltip does not say it, how they are used.
struct AccessibleText {
    int id = kNoId;
    std::string_view name;
    std::string_view description;  // empty: the tooltip describes it
};
constexpr int kAccessibleTextCount = 11;
extern const std::array<AccessibleText, kAccessibleTextCount> kAccessibleTexts;
const AccessibleText* FindAccessibleText(int id);

}  // namespace velta::ui
