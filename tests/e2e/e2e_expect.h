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

// Client pixel of the panel where the script aims for a grid LED or a control.
struct Point {
    int x = 0;
    int y = 0;
};
Point GridLedTarget(int row, int column);
Point PodLedTarget(int pod);
Point RingLedTarget(int ring);
std::optional<Point> ControlTarget(int controlId);

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

// Where the panel's client area starts inside a screenshot of the main window, found from the
// 384 dark (off) grid LEDs; nullopt when no offset puts every one of them on a dark lamp.
std::optional<Point> LocatePanel(const Image& window);

// Reads every grid LED of a Display Preview screenshot. Each entry is 1 lit, 0 off or -1 when the
// colour at the LED's centre is neither.
std::vector<int> PreviewGrid(const Image& preview);

}  // namespace velta::e2e
