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

// Room left between the main window and a window placed beside it.
inline constexpr int kWindowGap = 8;

// The frame of a window of `width` × `height` that opens beside `main` on `screen`:
// - sized down to the screen where it is larger;
// - right of the main window when it fits there, else left, else below, top or left edges
//   lined up with the main window's (and moved in so the window stays on the screen);
// - otherwise the place on the screen that covers the least of the main window and of the
//   windows already open (`open`), preferring those same sides and then the screen's corners.
// The result always lies wholly inside `screen` (whose size must be positive).
ScreenRect PlaceBesideMain(const ScreenRect& screen, const ScreenRect& main, int width, int height,
                           std::span<const ScreenRect> open = {});

}  // namespace velta
