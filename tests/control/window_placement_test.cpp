// Where the other windows open: always wholly on the screen, beside the main window when there
// is room, and otherwise over the least of it.
#include "control/window_placement.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace velta {

// How a failed expectation shows a rectangle (found by gtest through the type's namespace).
void PrintTo(const ScreenRect& r, std::ostream* out) {
    *out << r.width << "x" << r.height << " at " << r.x << "," << r.y;
}

namespace {

TEST(WindowPlacement, BesideWhenThereIsRoomElseOverTheLeastOfTheMainWindow) {
    const ScreenRect wide{0, 0, 1920, 1200};
    const ScreenRect small{0, 0, 1366, 768};
    const ScreenRect panel{0, 0, 1013, 570};
    const struct {
        const char* name;
        ScreenRect screen;
        ScreenRect main;
        WindowSize wanted;
        WindowSize smallest;
        std::vector<ScreenRect> open;
        ScreenRect expected;
    } cases[] = {
        // clang-format off
        {"right", wide, panel, {780, 440}, {780, 440}, {}, {1021, 0, 780, 440}},
        {"left, no room on the right", wide, {900, 100, 1013, 570}, {780, 440}, {780, 440}, {},
         {112, 100, 780, 440}},
        {"below, no room on either side", small, {0, 0, 1013, 300}, {500, 400}, {500, 400}, {},
         {0, 308, 500, 400}},
        {"right, moved up to stay on the screen", small, {0, 400, 1013, 300}, {340, 500},
         {340, 500}, {}, {1021, 268, 340, 500}},
        {"right, scaled down into the room there", small, {0, 0, 1013, 560}, {780, 440},
         {260, 146}, {}, {1021, 0, 345, 194}},
        {"below, clear of a window already on the right", wide, panel, {420, 560}, {420, 560},
         {{1021, 0, 780, 440}}, {0, 578, 420, 560}},
        {"no room: the corner covering least", small, {0, 0, 1013, 560}, {780, 440}, {400, 300},
         {}, {586, 328, 780, 440}},
        {"larger than the screen: sized down", {0, 0, 683, 384}, {0, 0, 1013, 560}, {780, 440},
         {100, 100}, {}, {0, 0, 683, 384}},
        {"main window larger than the screen", {0, 0, 683, 384}, {0, 0, 1013, 560}, {300, 200},
         {1, 1}, {}, {383, 0, 300, 200}},
        {"a second screen", {1920, 0, 1280, 1024}, {2000, 50, 1013, 560}, {400, 300}, {400, 300},
         {}, {2000, 618, 400, 300}},
        {"a panel at the top of the screen", {0, 32, 1366, 736}, {0, 32, 1013, 560}, {300, 200},
         {300, 200}, {}, {1021, 32, 300, 200}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ScreenRect placed = PlaceBesideMain(c.screen, c.main, c.wanted, c.smallest, c.open);
        EXPECT_EQ(placed, c.expected);
        EXPECT_TRUE(c.screen.Contains(placed));
    }
}

TEST(WindowPlacement, AlwaysWhollyOnTheScreen) {
    const ScreenRect screen{-100, 20, 1366, 768};
    for (int x = -2000; x <= 2000; x += 250) {
        for (int y = -1000; y <= 1500; y += 250) {
            for (const int size : {1, 300, 780, 1400, 5000}) {
                const ScreenRect main{x, y, 1013, 560};
                const ScreenRect placed =
                    PlaceBesideMain(screen, main, {size, size / 2 + 1}, {size / 3, size / 6});
                ASSERT_TRUE(screen.Contains(placed)) << x << "," << y << " size " << size;
                EXPECT_GT(placed.width, 0);
                EXPECT_GT(placed.height, 0);
            }
        }
    }
}

}  // namespace
}  // namespace velta
