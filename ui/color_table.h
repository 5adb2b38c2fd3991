// The named colours of the "RGB Pod Colour" box, and the conversions between the program's
// colour value (0x00BBGGRR, red in the lowest byte) and Qt's QColor.
#pragma once

#include <QColor>
#include <array>

#include "model/panel_state.h"

namespace velta {

struct NamedColor {
    Color color;
    const char* name;
};

// Fixed for the whole run; the box lists them in this order. The values are the display's
// own: "Pink" is full red plus full blue, "Magenta" only half of each, "Cyan" has blue 232.
inline constexpr std::array<NamedColor, 11> kColorTable{{
    {0x000000, "Off"},
    {0x0000FF, "Red"},
    {0x00FF00, "Green"},
    {0xFF0000, "Blue"},
    {0x007FFF, "Orange"},
    {0xFF00FF, "Pink"},
    {0xE8FF00, "Cyan"},
    {0x7F007F, "Magenta"},
    {0x00FFFF, "Yellow"},
    {0xFF007F, "Violet"},
    {0xFFFFFF, "White"},
}};

// The last item of the box; choosing it opens the colour chooser.
inline constexpr const char* kCustomColorName = "Custom...";
inline constexpr Color kCustomColorInitial = 0xC8C8C8;

inline QColor ToQColor(Color c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

inline Color FromQColor(const QColor& c) {
    const QColor rgb = c.toRgb();
    return MakeColor(static_cast<std::uint8_t>(rgb.red()), static_cast<std::uint8_t>(rgb.green()),
                     static_cast<std::uint8_t>(rgb.blue()));
}

}  // namespace velta
