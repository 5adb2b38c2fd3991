// The end-to-end checks are only as good as their expectations: the step replay must paint what
// the real drag paints, and the screenshot readers must find the panel and read the preview at
// any offset and scale, and refuse pictures that do not show what they look for.
#include "tests/e2e/e2e_expect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace velta::e2e {
namespace {

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        if (end > start)
            words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

TEST(E2eSteps, ParseAcceptsWhatTheScriptSpellsAndRefusesTheRest) {
    struct Case {
        std::string text;
        bool ok;
        std::size_t steps;
    };
    const Case cases[] = {
        {"", true, 0},
        {"click 0 0 click 11 31", true, 2},
        {"paint 7 3 12 button shift-right box led-grid", true, 3},
        {"button connect-tx button rf-mode button update-data box auto-update", true, 4},
        {"click 12 0", false, 0},       // below the grid
        {"click 0 32", false, 0},       // right of it
        {"paint 3 9 2", false, 0},      // backwards
        {"paint 3 9", false, 0},        // a number short
        {"click one 2", false, 0},      // not a number
        {"button led-grid", false, 0},  // a check box clicked as a button
        {"box update-data", false, 0},  // and the other way round
        {"key-led 0 31 key-box led-grid key-button update-data", true, 3},
        {"key-led 12 0", false, 0},
        {"key-box update-data", false, 0},
        {"button warp-drive", false, 0},
        {"wiggle", false, 0},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto steps = ParseSteps(Words(c.text), error);
        EXPECT_EQ(steps.has_value(), c.ok) << c.text << ": " << error;
        if (steps)
            EXPECT_EQ(steps->size(), c.steps) << c.text;
        else
            EXPECT_FALSE(error.empty()) << c.text;
    }
}

std::vector<int> LitCells(const Outcome& outcome) {
    std::vector<int> lit;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (outcome.cells[static_cast<std::size_t>(cell)])
            lit.push_back(cell);
    }
    return lit;
}

TEST(E2eReplay, ClicksAndDragsReachTheCellsUnderThePointer) {
    struct Case {
        std::string steps;
        std::vector<int> lit;
    };
    const Case cases[] = {
        {"click 0 0 click 11 31", {0, 383}},
        {"click 2 5 click 2 5", {}},  // a second click switches it off again
        // The drag goes through the painting band, which sits offset from the LEDs; every LED
        // centre on the way must fall in its own cell.
        {"paint 7 3 6", {227, 228, 229, 230}},
        {"paint 0 0 0 paint 11 31 31", {0, 383}},
        {"paint 4 30 31 click 4 31", {158}},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto steps = ParseSteps(Words(c.steps), error);
        ASSERT_TRUE(steps) << error;
        EXPECT_EQ(LitCells(Play(*steps)), c.lit) << c.steps;
    }
}

TEST(E2eReplay, UpdateDataLogsOnlyOnceTheLinkAndRfModeAreUp) {
    std::string error;
    const auto without = ParseSteps(Words("click 0 0 box led-grid button update-data"), error);
    const auto with = ParseSteps(
        Words("click 0 0 box led-grid button connect-tx button rf-mode button update-data"), error);
    ASSERT_TRUE(without && with);
    EXPECT_EQ(Play(*without).dataCenter, "");
    const std::string log = Play(*with).dataCenter;
    EXPECT_NE(log, "");
    EXPECT_NE(log.find("\r\n"), std::string::npos);
}

constexpr Image::Pixel kLight{239, 239, 239};
constexpr Image::Pixel kBlack{0, 0, 0};

Image Blank(int width, int height, Image::Pixel fill) {
    Image image;
    image.width = width;
    image.height = height;
    for (int i = 0; i < width * height; ++i) {
        image.rgb.push_back(static_cast<std::uint8_t>(fill.r));
        image.rgb.push_back(static_cast<std::uint8_t>(fill.g));
        image.rgb.push_back(static_cast<std::uint8_t>(fill.b));
    }
    return image;
}

void Disc(Image& image, double cx, double cy, double radius, Image::Pixel colour) {
    const int top = std::max(0, static_cast<int>(cy - radius) - 1);
    const int bottom = std::min(image.height, static_cast<int>(cy + radius) + 2);
    const int left = std::max(0, static_cast<int>(cx - radius) - 1);
    const int right = std::min(image.width, static_cast<int>(cx + radius) + 2);
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            if ((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy) <=
                radius * radius) {
                const std::size_t i = (static_cast<std::size_t>(y) * image.width + x) * 3;
                image.rgb[i] = static_cast<std::uint8_t>(colour.r);
                image.rgb[i + 1] = static_cast<std::uint8_t>(colour.g);
                image.rgb[i + 2] = static_cast<std::uint8_t>(colour.b);
            }
        }
    }
}

TEST(E2eScreens, LocatePanelFindsTheGridAndItsScaleBelowAnyMenuBarAndOnlyThere) {
    struct Case {
        int width;
        int height;
        double scale;
        Point offset;
    };
    const Case cases[] = {
        {1013, 600, 1.0, {0, 18}}, {1013, 560, 1.0, {0, 0}},     {1216, 700, 1.2, {0, 21}},
        {1520, 840, 1.5, {0, 27}}, {1013, 460, 0.75, {126, 20}},  // short: a smaller panel, centred
    };
    for (const Case& c : cases) {
        Image window = Blank(c.width, c.height, kLight);
        for (int cell = 0; cell < kCellCount; ++cell) {
            const Point p = GridLedTarget(cell / kColumns, cell % kColumns, c.scale);
            Disc(window, p.x + c.offset.x + 0.5, p.y + c.offset.y + 0.5, 7 * c.scale, kBlack);
        }
        const auto found = LocatePanel(window);
        ASSERT_TRUE(found) << c.scale;
        EXPECT_EQ(found->scale, c.scale);
        EXPECT_NEAR(found->origin.x, c.offset.x, 1) << c.scale;
        EXPECT_NEAR(found->origin.y, c.offset.y, 1) << c.scale;

        // One LED already lit (blue): the grid can no longer be told from the rest.
        const Point lit = GridLedTarget(5, 5, c.scale);
        Disc(window, lit.x + c.offset.x + 0.5, lit.y + c.offset.y + 0.5, 7 * c.scale, {0, 0, 255});
        EXPECT_FALSE(LocatePanel(window)) << c.scale;
    }
}

// The keyboard run finds its way by counting stops in the panel's tab order.
TEST(E2eKeys, TabsBetweenCountsTheShorterWayRoundTheTabOrder) {
    const std::tuple<std::string, std::string, std::optional<int>> cases[] = {
        {"select-all", "grid", -4},  // Color All Pods, the colour, the right pods, the grid
        {"grid", "led-grid", -10},   // back past the Data Center, the greyed-out boxes skipped
        {"shift-down", "invert-grid", 2},  // the fill-mode radio buttons are one stop
        {"led-grid", "connect-tx", -4},
        {"connect-tx", "rf-mode", 2},
        {"grid", "grid", 0},
        {"grid", "warp-drive", std::nullopt},
    };
    for (const auto& [from, to, tabs] : cases)
        EXPECT_EQ(TabsBetween(from, to), tabs) << from << " to " << to;
}

TEST(E2eScreens, PreviewGridReadsLitOffAndUnclearLedsAtAnyScale) {
    constexpr Image::Pixel kAmber{255, 170, 0};
    constexpr Image::Pixel kOff{48, 48, 52};
    constexpr Image::Pixel kGrey{128, 128, 128};
    struct Case {
        int width;
        int height;
    };
    for (const Case size : {Case{780, 440}, Case{1560, 880}, Case{1000, 440}, Case{780, 900}}) {
        Image preview = Blank(size.width, size.height, {18, 18, 22});
        const double scale = std::min(size.width / 780.0, size.height / 440.0);
        const double left = (size.width - 780 * scale) / 2;
        const double top = (size.height - 440 * scale) / 2;
        for (int cell = 0; cell < kCellCount; ++cell) {
            const Point p = GridLedTarget(cell / kColumns, cell % kColumns);
            const Image::Pixel colour = cell == 7 ? kAmber : cell == 9 ? kGrey : kOff;
            // LED centres lie half a pixel below the aiming point (the LEDs are 19 high).
            Disc(preview, left + p.x * scale, top + (p.y + 0.5) * scale, 7 * scale, colour);
        }
        const std::vector<int> grid = PreviewGrid(preview);
        ASSERT_EQ(grid.size(), static_cast<std::size_t>(kCellCount));
        for (int cell = 0; cell < kCellCount; ++cell) {
            const int want = cell == 7 ? 1 : cell == 9 ? -1 : 0;
            EXPECT_EQ(grid[static_cast<std::size_t>(cell)], want)
                << size.width << "x" << size.height << " cell " << cell;
        }
    }
}

TEST(E2eScreens, ParsePpmTakesBinaryPpmAndRefusesTheRest) {
    const char samples[] = {'\x01', '\x02', '\x03', '\xff', '\x00', '\x10'};
    const std::string good =
        std::string("P6\n# made by hand\n2 1\n255\n") + std::string(samples, sizeof samples);
    const auto image = ParsePpm(good);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 2);
    EXPECT_EQ(image->At(1, 0).r, 255);
    EXPECT_EQ(image->At(1, 0).b, 16);
    EXPECT_EQ(image->At(2, 0).r, 0);  // outside
    for (const std::string& bad :
         {std::string("P3\n2 1\n255\n1 2 3 4 5 6"), std::string("P6\n2 1\n65535\n"),
          good.substr(0, good.size() - 1), std::string("P6\n0 1\n255\n"), std::string("P6")}) {
        EXPECT_FALSE(ParsePpm(bad)) << bad;
    }
}

}  // namespace
}  // namespace velta::e2e
