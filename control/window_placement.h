// Where the program's other windows open (Display Preview, Report Monitor, Sequence, Import
// Picture, Getting Started): wholly on the screen the main window is on, beside the main window
// when there is room, and otherwise over it but never outside the screen.
#pragma once

#include <span>

namespace velta {

// A rectangle in the screen's logical pixels: the window frame for windows, the usable area
// (without panels and docks) for the screen.
struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int Right() const { return x + width; }  // one past the last column
    int Bottom() const { return y + height; }
    bool Contains(const ScreenRect& other) const {
        return other.x >= x && other.y >= y && other.Right() <= Right() &&
               other.Bottom() <= Bottom();
    }
    bool operator==(const ScreenRect&) const = default;
};

struct WindowSize {
    int width = 0;
    int height = 0;
};

// Room left between the main window and a window placed beside it.
inline constexpr int kWindowGap = 8;

// The frame of a window that opens beside `main` on `screen`, at most `wanted` large:
// - beside the main window where that covers nothing (neither the main window nor the windows
//   already open, `open`): right of it, else left, else below, top or left edges lined up with
//   the main window's (and moved in so the window stays on the screen); at the size wanted, or
//   else scaled down, keeping its shape, into the room there but not below `smallest`;
// - otherwise at the size wanted (cut to the screen) where it covers the least of the main window
//   and of the open windows, preferring those same sides and then the screen's corners.
// The result always lies wholly inside `screen` (whose size must be positive).
ScreenRect PlaceBesideMain(const ScreenRect& screen, const ScreenRect& main, WindowSize wanted,
                           WindowSize smallest, std::span<const ScreenRect> open = {});

}  // namespace velta
