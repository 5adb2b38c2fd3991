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

ScreenRect PlaceBesideMain(const ScreenRect& screen, const ScreenRect& main, WindowSize wanted,
                           WindowSize smallest, std::span<const ScreenRect> open) {
    const int w = std::clamp(wanted.width, 1, std::max(1, screen.width));
    const int h = std::clamp(wanted.height, 1, std::max(1, screen.height));
    // Every place is moved in until the window lies on the screen.
    const auto at = [&](int x, int y, int width, int height) {
        return ScreenRect{std::clamp(x, screen.x, std::max(screen.x, screen.Right() - width)),
                          std::clamp(y, screen.y, std::max(screen.y, screen.Bottom() - height)),
                          width, height};
    };
    const auto covered = [&](const ScreenRect& place) {
        long long area = Overlap(place, main);
        for (const ScreenRect& window : open)
            area += Overlap(place, window);
        return area;
    };

    // Beside the main window: the room on each side, along the axis that side takes from.
    const struct {
        int room;
        bool across;  // the room is a width (right, left), else a height (below)
    } sides[] = {
        {screen.Right() - main.Right() - kWindowGap, true},
        {main.x - kWindowGap - screen.x, true},
        {screen.Bottom() - main.Bottom() - kWindowGap, false},
    };
    const int leastW = std::clamp(smallest.width, 1, w);
    const int leastH = std::clamp(smallest.height, 1, h);
    for (std::size_t side = 0; side < 3; ++side) {
        const auto [room, across] = sides[side];
        const double scale = std::min(1.0, static_cast<double>(room) / (across ? w : h));
        const int width = std::max(leastW, static_cast<int>(w * scale));
        const int height = std::max(leastH, static_cast<int>(h * scale));
        if (room <= 0 || (across ? width : height) > room)
            continue;
        const int x = side == 0   ? main.Right() + kWindowGap
                      : side == 1 ? main.x - kWindowGap - width
                                  : main.x;
        const int y = side == 2 ? main.Bottom() + kWindowGap : main.y;
        const ScreenRect place = at(x, y, width, height);
        if (covered(place) == 0)
            return place;
    }

    // No room beside: at the size wanted where it covers least; the sides first, then the
    // corners, bottom right first, where the main window's grid and menus are least likely to be.
    const int right = screen.Right() - w;
    const int bottom = screen.Bottom() - h;
    const std::array<ScreenRect, 7> places = {
        at(main.Right() + kWindowGap, main.y, w, h),
        at(main.x - kWindowGap - w, main.y, w, h),
        at(main.x, main.Bottom() + kWindowGap, w, h),
        at(right, bottom, w, h),
        at(screen.x, bottom, w, h),
        at(right, screen.y, w, h),
        at(screen.x, screen.y, w, h),
    };
    ScreenRect best = places.front();
    long long leastCovered = std::numeric_limits<long long>::max();
    for (const ScreenRect& place : places) {
        if (const long long area = covered(place); area < leastCovered) {
            leastCovered = area;
            best = place;
        }
    }
    return best;
}

}  // namespace velta
