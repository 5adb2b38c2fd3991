#include "control/window_placement.h"

#include <algorithm>
#include <array>
#include <limits>

namespace velta {

namespace {

long long Overlap(const ScreenRect& a, const ScreenRect& b) {
    const long long width = std::max(0, std::min(a.Right(), b.Right()) - std::max(a.x, b.x));
    const long long height = std::max(0, std::min(a.Bottom(), b.Bottom()) - std::max(a.y, b.y));
    return width * height;
}

}  // namespace

ScreenRect PlaceBesideMain(const ScreenRect& screen, const ScreenRect& main, int width, int height,
                           std::span<const ScreenRect> open) {
    const int w = std::clamp(width, 1, std::max(1, screen.width));
    const int h = std::clamp(height, 1, std::max(1, screen.height));
    const int minX = screen.x;
    const int maxX = std::max(minX, screen.Right() - w);
    const int minY = screen.y;
    const int maxY = std::max(minY, screen.Bottom() - h);
    // Every place is moved in until the window lies on the screen.
    const auto at = [&](int x, int y) {
        return ScreenRect{std::clamp(x, minX, maxX), std::clamp(y, minY, maxY), w, h};
    };
    // In order of preference: beside the main window (right, left, below), then the corners,
    // bottom right first, where the main window's grid and menus are least likely to be.
    const std::array<ScreenRect, 7> places = {
        at(main.Right() + kWindowGap, main.y),
        at(main.x - kWindowGap - w, main.y),
        at(main.x, main.Bottom() + kWindowGap),
        at(maxX, maxY),
        at(minX, maxY),
        at(maxX, minY),
        at(minX, minY),
    };
    ScreenRect best = places.front();
    long long leastCovered = std::numeric_limits<long long>::max();
    for (const ScreenRect& place : places) {
        long long covered = Overlap(place, main);
        for (const ScreenRect& window : open)
            covered += Overlap(place, window);
        if (covered < leastCovered) {
            leastCovered = covered;
            best = place;
        }
    }
    return best;
}

}  // namespace velta
