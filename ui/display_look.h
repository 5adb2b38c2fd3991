// What the display looks like on screen, shared by the Display Preview and the Sequence window's
// thumbnails, and how counts read in the window's messages.
#pragma once

#include <QColor>
#include <QLocale>
#include <QString>

namespace velta::ui {

constexpr QColor kDisplayBackground(18, 18, 22);
constexpr QColor kDisplayLit(255, 170, 0);  // the grid's amber LEDs at full brightness
constexpr QColor kDisplayOff(48, 48, 52);

// "1,204": counts in messages read the same whatever the system's locale.
inline QString Count(qsizetype n) {
    return QLocale(QLocale::English).toString(n);
}

}  // namespace velta::ui
