// Opens the program's other windows where the user can reach them: on the main window's screen,
// wholly inside its available area, beside the main window when there is room (the rule is
// PlaceBesideMain, control/window_placement.h).
#pragma once

#include <initializer_list>

class QWidget;

namespace velta::ui {

// Whether a window shows the same content at any size (the Display Preview scales its picture),
// and so may be made smaller to open beside the main window instead of over it.
enum class Scaling { FixedContent, ScalesContent };

// Sizes and moves `window` (a top-level window about to be shown) beside `main`, clear of the
// visible windows in `open` where it can be, and sized down where the screen is too small for
// it. The window manager's frame is taken to be the one around the main window.
void FitBeside(QWidget& window, const QWidget& main,
               std::initializer_list<const QWidget*> open = {},
               Scaling scaling = Scaling::FixedContent);

}  // namespace velta::ui
