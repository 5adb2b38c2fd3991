#include "grid/picture_to_grid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velta {
namespace {

struct Gray {
    int width;
    int height;
    std::vector<std::uint8_t> pixels;
    PictureView View() const { return {pixels.data(), width, height, width, PixelFormat::Gray8}; }
};

Gray Filled(int width, int height, std::uint8_t value) {
    return {width, height,
            std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height, value)};
}

// The grid as 12 strings of '#' and '.'.
std::vector<std::string> Rows(const GridCells& cells) {
    std::vector<std::string> rows;
    for (int row = 0; row < kRows; ++row) {
        std::string line;
        for (int column = 0; column < kColumns; ++column)
            line += cells[static_cast<std::size_t>(PanelState::CellIndex(row, column))] ? '#' : '.';
        rows.push_back(line);
    }
    return rows;
}

int Lit(const GridCells& cells) {
    int n = 0;
    for (const bool on : cells)
        n += on ? 1 : 0;
    return n;
}

// A 64 x 24 picture (two pixels per cell) whose left half is black and right half white.
TEST(PictureToGrid, ThresholdAndInvertSplitDarkFromLight) {
    Gray picture = Filled(64, 24, 255);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x)
            picture.pixels[static_cast<std::size_t>(y * 64 + x)] = 0;
    const std::string half = std::string(16, '#') + std::string(16, '.');
    const std::string otherHalf = std::string(16, '.') + std::string(16, '#');
    struct Case {
        int threshold;
        bool invert;
        std::string row;
    };
    const Case cases[] = {
        {128, false, half},
        {128, true, otherHalf},
        {0, false, std::string(32, '.')},    // nothing is darker than 0
        {0, true, std::string(32, '#')},     // ... so inverted everything is lit
        {256, false, std::string(32, '#')},  // clamped to 255: white is not darker, so half
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.threshold);
        const auto cells = PictureToGrid(picture.View(), {c.threshold, c.invert, PictureFit::Fit});
        ASSERT_TRUE(cells);
        const std::string expected = c.threshold == 256 ? half : c.row;
        EXPECT_EQ(Rows(*cells), std::vector<std::string>(12, expected));
    }
}

// Each cell averages the pixels it covers, partial pixels by their share.
TEST(PictureToGrid, CellsAverageTheAreaTheyCover) {
    // 32 x 12 pixels, one per cell: the level is the pixel. 96 x 36: a 3 x 3 block per cell
    // with 2 of 9 pixels black -> level 255 * 7 / 9 = 198.
    Gray one = Filled(32, 12, 0);
    for (int i = 0; i < 32 * 12; ++i)
        one.pixels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i % 256);
    const auto levels = PictureLevels(one.View(), PictureFit::Fit);
    ASSERT_TRUE(levels);
    for (int i = 0; i < kCellCount; ++i)
        EXPECT_EQ((*levels)[static_cast<std::size_t>(i)], i % 256);

    Gray block = Filled(96, 36, 255);
    for (int y = 0; y < 36; y += 3)
        for (int x = 0; x < 96; x += 3) {
            block.pixels[static_cast<std::size_t>(y * 96 + x)] = 0;
            block.pixels[static_cast<std::size_t>(y * 96 + x + 1)] = 0;
        }
    const auto blockLevels = PictureLevels(block.View(), PictureFit::Fill);
    ASSERT_TRUE(blockLevels);
    for (const std::int16_t level : *blockLevels)
        EXPECT_EQ(level, 198);
}

// Fit letterboxes a picture of another shape (cells outside stay off, even inverted); Fill covers
// the grid and crops.
TEST(PictureToGrid, FitLetterboxesAndFillCrops) {
    const std::string all(32, '#');
    const std::string none(32, '.');
    const auto middle = [](int lit) {
        const int side = (32 - lit) / 2;
        return std::string(side, '.') + std::string(lit, '#') + std::string(side, '.');
    };
    struct Case {
        const char* name;
        int width, height;
        PictureFit fit;
        bool invert;
        int lit;
        std::vector<std::pair<int, std::string>> rows;  // row index, expected row
    };
    const Case cases[] = {
        // A black square: Fit gives the middle 12 x 12, Fill all cells.
        {"square fit", 100, 100, PictureFit::Fit, false, 144, {{0, middle(12)}, {11, middle(12)}}},
        {"square fit inverted", 100, 100, PictureFit::Fit, true, 0, {{5, none}}},
        {"square fill", 100, 100, PictureFit::Fill, false, 384, {{0, all}}},
        {"1 x 1 fit", 1, 1, PictureFit::Fit, false, 144, {{5, middle(12)}}},
        // A wide strip 64 x 6: Fit gives 32 x 3 in rows 4..6.
        {"wide fit", 64, 6, PictureFit::Fit, false, 96, {{3, none}, {4, all}, {6, all}, {7, none}}},
        {"wide fill", 64, 6, PictureFit::Fill, false, 384, {{0, all}}},
        // A tall one 16 x 24: Fit gives 8 x 12 in the middle.
        {"tall fit", 16, 24, PictureFit::Fit, false, 96, {{0, middle(8)}, {11, middle(8)}}},
        // 2 : 1, Fit: 24 x 12 in the middle.
        {"2:1 fit", 40, 20, PictureFit::Fit, false, 288, {{0, middle(24)}}},
        // 7 x 5 (not a whole number of cells): 17 x 12 in the middle, no half-lit edges.
        {"7 x 5 fit",
         7,
         5,
         PictureFit::Fit,
         false,
         17 * 12,
         {{0, std::string(7, '.') + std::string(17, '#') + std::string(8, '.')}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Gray picture = Filled(c.width, c.height, 0);
        const auto cells = PictureToGrid(picture.View(), {128, c.invert, c.fit});
        ASSERT_TRUE(cells);
        EXPECT_EQ(Lit(*cells), c.lit);
        for (const auto& [row, expected] : c.rows)
            EXPECT_EQ(Rows(*cells)[static_cast<std::size_t>(row)], expected) << row;
    }
}

// Fill keeps the centre: a 96 x 12 picture with a black middle third fills the grid with it.
TEST(PictureToGrid, FillKeepsTheCentre) {
    Gray picture = Filled(96, 12, 255);
    for (int y = 0; y < 12; ++y)
        for (int x = 32; x < 64; ++x)
            picture.pixels[static_cast<std::size_t>(y * 96 + x)] = 0;
    const auto fill = PictureToGrid(picture.View(), {128, false, PictureFit::Fill});
    ASSERT_TRUE(fill);
    EXPECT_EQ(Lit(*fill), 384);
    const auto fit = PictureToGrid(picture.View(), {128, false, PictureFit::Fit});
    ASSERT_TRUE(fit);
    // Fit: 96 x 12 -> 32 x 4 in rows 4..7, three pixels per cell: columns 11..20 are black,
    // 10 and 21 one third black (level 170, not lit), the rest white.
    EXPECT_EQ(Lit(*fit), 40);
    EXPECT_EQ(Rows(*fit)[4], std::string(11, '.') + std::string(10, '#') + std::string(11, '.'));
}

// RGBA: luma of the colour, transparent parts count as white.
TEST(PictureToGrid, RgbaUsesLumaOverWhite) {
    struct Case {
        std::uint8_t r, g, b, a;
        int level;
    };
    const Case cases[] = {
        {0, 0, 0, 255, 0},     {255, 255, 255, 255, 255}, {255, 0, 0, 255, 76},
        {0, 255, 0, 255, 150}, {0, 0, 255, 255, 29},      {0, 0, 0, 0, 255},
        {0, 0, 0, 128, 127},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> pixels;
        for (int i = 0; i < 32 * 12; ++i)
            pixels.insert(pixels.end(), {c.r, c.g, c.b, c.a});
        const auto levels =
            PictureLevels({pixels.data(), 32, 12, 32 * 4, PixelFormat::Rgba8}, PictureFit::Fit);
        ASSERT_TRUE(levels);
        EXPECT_EQ((*levels)[0], c.level)
            << int{c.r} << "," << int{c.g} << "," << int{c.b} << "," << int{c.a};
    }
}

TEST(PictureToGrid, RefusesPicturesItCannotConvert) {
    const std::uint8_t pixel = 0;
    struct Case {
        const char* name;
        PictureView view;
        std::string expected;
    };
    const Case cases[] = {
        {"0 x 0", {&pixel, 0, 0, 0, PixelFormat::Gray8}, "no pixels"},
        {"negative", {&pixel, -5, 10, 10, PixelFormat::Gray8}, "no pixels"},
        {"no data", {nullptr, 1, 1, 1, PixelFormat::Gray8}, "no pixel data"},
        {"huge",
         {&pixel, 100000, 100000, 100000, PixelFormat::Gray8},
         "100000 x 100000 pixels; pictures of up to 64 megapixels"},
        {"int overflow",
         {&pixel, 2147483647, 2147483647, 2147483647, PixelFormat::Gray8},
         "megapixels"},
        {"short stride", {&pixel, 10, 1, 39, PixelFormat::Rgba8}, "rows are shorter"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(PictureToGrid(c.view, {}, &error));
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
        EXPECT_FALSE(PictureLevels(c.view, PictureFit::Fill));  // no error text asked for
    }
}

}  // namespace
}  // namespace velta
