// Turns a picture of any size into the 32 x 12 grid: each cell takes the average brightness of
// the part of the picture it covers (area averaging, partial pixels weighted by how much of them
// the cell covers) and is lit where the picture is dark, like ink on paper; Invert lights the
// light parts instead. Plain C++; the window decodes the file and hands over the pixels.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "model/panel_state.h"

namespace velta {

using GridCells = std::array<bool, kCellCount>;  // index = 32 * row + column

// Larger pictures are refused before any pixel is read (a 64-megapixel picture is 256 MB RGBA).
constexpr std::int64_t kMaxPicturePixels = 64'000'000;

enum class PixelFormat {
    Gray8,  // one byte per pixel, 0 black .. 255 white
    Rgba8,  // four bytes per pixel, R G B A; transparent parts count as white paper
};

// A view of pixels the caller owns. Rows are `stride` bytes apart (at least width * pixel size).
struct PictureView {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
    PixelFormat format = PixelFormat::Gray8;
};

enum class PictureFit {
    Fit,   // the whole picture, aspect kept, centred; cells it does not reach stay off
    Fill,  // the grid covered, aspect kept, centred; what sticks out is cut off
};

struct PictureOptions {
    int threshold = 128;  // 0..255: a cell darker than this is lit (clamped)
    bool invert = false;  // light cells are lit instead (letterbox cells stay off)
    PictureFit fit = PictureFit::Fit;
};

// The average brightness of each cell, 0..255, or -1 for a cell the picture does not reach.
// Depends only on the picture and the fit, so a preview can re-threshold it for free.
using CellLevels = std::array<std::int16_t, kCellCount>;

// Empty, with the reason in *error when given, for a picture that can't be converted: no pixels,
// zero or negative size, more than kMaxPicturePixels, or a stride too small for the width.
std::optional<CellLevels> PictureLevels(const PictureView& picture, PictureFit fit,
                                        std::string* error = nullptr);
GridCells ThresholdLevels(const CellLevels& levels, int threshold, bool invert);

std::optional<GridCells> PictureToGrid(const PictureView& picture, const PictureOptions& options,
                                       std::string* error = nullptr);

}  // namespace velta
