#include "grid/picture_to_grid.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace velta {

namespace {

// How much of source pixel `pixel` lies in [cellBegin, cellEnd) along one axis.
double CoverageOf(double cellBegin, double cellEnd, int pixel) {
    const double begin = std::max(cellBegin, static_cast<double>(pixel));
    const double end = std::min(cellEnd, static_cast<double>(pixel) + 1.0);
    return std::max(0.0, end - begin);
}

// Brightness of one pixel, 0..255; transparency shows white paper.
double Brightness(const std::uint8_t* p, PixelFormat format) {
    if (format == PixelFormat::Gray8)
        return p[0];
    const double luma = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
    const double alpha = p[3] / 255.0;
    return luma * alpha + 255.0 * (1.0 - alpha);
}

bool Refuse(std::string* error, std::string text) {
    if (error != nullptr)
        *error = std::move(text);
    return false;
}

bool Acceptable(const PictureView& picture, std::string* error) {
    if (picture.width <= 0 || picture.height <= 0)
        return Refuse(error, "the picture has no pixels");
    if (picture.pixels == nullptr)
        return Refuse(error, "the picture has no pixel data");
    const std::int64_t pixels = std::int64_t{picture.width} * picture.height;
    if (pixels > kMaxPicturePixels) {
        return Refuse(error, "the picture is " + std::to_string(picture.width) + " x " +
                                 std::to_string(picture.height) +
                                 " pixels; pictures of up to 64 megapixels can be imported");
    }
    const int pixelBytes = picture.format == PixelFormat::Gray8 ? 1 : 4;
    if (picture.stride < std::ptrdiff_t{picture.width} * pixelBytes)
        return Refuse(error, "the picture's rows are shorter than its width");
    return true;
}

}  // namespace

std::optional<CellLevels> PictureLevels(const PictureView& picture, PictureFit fit,
                                        std::string* error) {
    if (!Acceptable(picture, error))
        return std::nullopt;
    const double width = picture.width;
    const double height = picture.height;

    // Per axis: the cells the picture reaches [first, first + count) and the source pixels per
    // cell. Fit snaps the letterbox to whole cells (stretching the picture by under half a cell)
    // so its edge does not light a sliver of half-covered cells; Fill crops to the middle.
    int firstColumn = 0;
    int firstRow = 0;
    int columns = kColumns;
    int rows = kRows;
    double stepX = 0.0;
    double stepY = 0.0;
    double originX = 0.0;  // source position of cell (0, 0)'s corner
    double originY = 0.0;
    if (fit == PictureFit::Fit) {
        const double scale = std::max(width / kColumns, height / kRows);
        columns = std::clamp(static_cast<int>(std::lround(width / scale)), 1, kColumns);
        rows = std::clamp(static_cast<int>(std::lround(height / scale)), 1, kRows);
        firstColumn = (kColumns - columns) / 2;
        firstRow = (kRows - rows) / 2;
        stepX = width / columns;
        stepY = height / rows;
        originX = -firstColumn * stepX;
        originY = -firstRow * stepY;
    } else {
        const double scale = std::min(width / kColumns, height / kRows);
        stepX = scale;
        stepY = scale;
        originX = (width - scale * kColumns) / 2.0;
        originY = (height - scale * kRows) / 2.0;
    }

    CellLevels levels;
    levels.fill(-1);
    const int pixelBytes = picture.format == PixelFormat::Gray8 ? 1 : 4;
    std::array<double, kColumns> sum{};
    std::array<double, kColumns> area{};
    for (int row = firstRow; row < firstRow + rows; ++row) {
        const double top = originY + row * stepY;
        const double bottom = top + stepY;
        const int firstY = std::max(0, static_cast<int>(std::floor(top)));
        const int lastY = std::min(picture.height, static_cast<int>(std::ceil(bottom)));
        sum.fill(0.0);
        area.fill(0.0);
        for (int y = firstY; y < lastY; ++y) {
            const double wy = CoverageOf(top, bottom, y);
            if (wy <= 0.0)
                continue;
            const std::uint8_t* line = picture.pixels + y * picture.stride;
            for (int column = firstColumn; column < firstColumn + columns; ++column) {
                const double left = originX + column * stepX;
                const double right = left + stepX;
                const int firstX = std::max(0, static_cast<int>(std::floor(left)));
                const int lastX = std::min(picture.width, static_cast<int>(std::ceil(right)));
                for (int x = firstX; x < lastX; ++x) {
                    const double w = wy * CoverageOf(left, right, x);
                    sum[column] +=
                        w * Brightness(line + std::ptrdiff_t{x} * pixelBytes, picture.format);
                    area[column] += w;
                }
            }
        }
        for (int column = firstColumn; column < firstColumn + columns; ++column) {
            if (area[column] > 0.0) {
                levels[static_cast<std::size_t>(PanelState::CellIndex(row, column))] =
                    static_cast<std::int16_t>(std::lround(sum[column] / area[column]));
            }
        }
    }
    return levels;
}

GridCells ThresholdLevels(const CellLevels& levels, int threshold, bool invert) {
    const int limit = std::clamp(threshold, 0, 255);
    GridCells cells{};
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (levels[i] < 0)
            continue;
        // Inverted, a cell is lit when it is not darker than the threshold: the same split.
        cells[i] = (levels[i] < limit) != invert;
    }
    return cells;
}

std::optional<GridCells> PictureToGrid(const PictureView& picture, const PictureOptions& options,
                                       std::string* error) {
    const std::optional<CellLevels> levels = PictureLevels(picture, options.fit, error);
    if (!levels)
        return std::nullopt;
    return ThresholdLevels(*levels, options.threshold, options.invert);
}

}  // namespace velta
