// What the end-to-end run expects: the panel steps the script plays with the real pointer and
// keyboard, replayed on a controller over a headless view, and the checks on screenshots of the
// running program. Plain C++; the screenshots arrive as binary PPM files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/control_center_controller.h"

namespace velta::e2e {

// One step as the script's command line spells it:
//   click R C        left click on grid LED (row, column)
//   paint R C0 C1    right-button drag along row R from column C0 to C1
//   button NAME      a push button (select-all, shift-right, invert-grid, connect-tx, ...)
//   box NAME         a check box (led-grid, rgb-pods, led-rings, scrolling-text, auto-update)
// and the same by the keyboard alone, which the panel takes exactly as the clicks:
//   key-led R C      the grid's focus LED moved to (row, column), then Space
//   key-button NAME, key-box NAME
//                    Tab (or Shift+Tab) to the control, then Space
struct Step {
    enum class Kind { Click, Paint, Button, Box } kind = Kind::Click;
    int row = 0;
    int first = 0;  // column of a click, first column of a paint
    int last = 0;   // last column of a paint
    int controlId = 0;
};

// Parses the steps; nullopt and a reason on the first word it does not understand.
std::optional<std::vector<Step>> ParseSteps(const std::vector<std::string>& words,
                                            std::string& error);

// The control id of a push button or check box name; nullopt for an unknown name.
std::optional<int> ControlIdForName(std::string_view name);

// Plays the steps on a fresh controller with a simulated transmitter, as the window forwards the
// same input, and hands back the Data Center text and the grid it ends with.
struct Outcome {
    std::string dataCenter;
    std::vector<bool> cells;  // kCellCount entries
};
Outcome Play(const std::vector<Step>& steps);

// How many Tab presses (negative: Shift+Tab) take the keyboard focus from one stop of the panel
// to another the shorter way, as the panel starts (greyed-out boxes skipped, a group of radio
// buttons one stop). Stops are named as the steps name controls, or rings, master-pods, grid,
// secondary-pods; nullopt for an unknown name.
std::optional<int> TabsBetween(std::string_view from, std::string_view to);

// Pixel of the panel, shown at `scale`, where the script aims for a grid LED or a control.
struct Point {
    int x = 0;
    int y = 0;
};
Point GridLedTarget(int row, int column, double scale = 1.0);
Point PodLedTarget(int pod, double scale = 1.0);
Point RingLedTarget(int ring, double scale = 1.0);
std::optional<Point> ControlTarget(int controlId, double scale = 1.0);

// An RGB picture, 8 bits a channel.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    struct Pixel {
        int r = 0;
        int g = 0;
        int b = 0;
    };
    bool Contains(int x, int y) const;
    Pixel At(int x, int y) const;  // black outside the picture
};
std::optional<Image> ParsePpm(std::string_view bytes);

// Where the panel starts inside a screenshot of the main window and the scale it is shown at,
// found from the 384 dark (off) grid LEDs: the panel fills the window's width at a scale in
// steps of 1/40, centred, or at a smaller scale (down to 55 % of that) when the height is
// short. nullopt when no scale and offset put every LED on a dark lamp.
struct PanelPlace {
    Point origin;
    double scale = 1.0;
};
std::optional<PanelPlace> LocatePanel(const Image& window);

// Reads every grid LED of a Display Preview screenshot. Each entry is 1 lit, 0 off or -1 when the
// colour at the LED's centre is neither.
std::vector<int> PreviewGrid(const Image& preview);

}  // namespace velta::e2e
