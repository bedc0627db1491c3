// Cutting an image into tiles, by tile count or by cell size. Tiles are 1:1 copies in the
// source's pixel format, appended row by row, left to right.

#include "imaging/image_processor.h"

#include <cmath>

namespace corvane {
namespace {

// Copies one rectangle into a new tile and appends it. A tile that could not be made is
// appended all the same: its failed status makes the save skip it, and it is counted.
void AppendTile(const ImageProcessor& processor, Bitmap* image, std::vector<BitmapPtr>* tiles,
                int x, int y, int width, int height) {
    BitmapPtr tile;
    processor.CopyRegion(tile, image, 0, 0, x, y, width, height);
    tiles->push_back(std::move(tile));
}

// trunc(w − (N − 1) × pitch) in extended precision: what is left for the last column or row.
int LastLength(int length, int count, float pitch) {
    const long double left =
        static_cast<long double>(length) - static_cast<long double>(count - 1) * pitch;
    return static_cast<int>(std::trunc(left));
}

// trunc(index × pitch), the product taken exactly (an int times a float is exact in double);
// in single precision 3 × 16.666666 would round up to 50.
int TileStart(int index, float pitch) {
    return static_cast<int>(std::trunc(static_cast<double>(index) * pitch));
}

}  // namespace

void ImageProcessor::CutByCount(Bitmap* image, std::vector<BitmapPtr>* tiles, int columns,
                                int rows) const {
    if (tiles == nullptr || columns <= 0 || rows <= 0 || !IsUsable(image)) {
        return;
    }
    const int w = image->Width();
    const int h = image->Height();
    if (w < columns || h < rows) {
        return;
    }
    // The pitch is a single-precision quotient and positions are truncated, so when w / N is
    // not whole a pixel column between tiles, and the image's last column, can fall outside
    // every tile (likewise for rows).
    const float pitchX = static_cast<float>(w) / static_cast<float>(columns);
    const float pitchY = static_cast<float>(h) / static_cast<float>(rows);
    const int lastWidth = LastLength(w, columns, pitchX);
    const int lastHeight = LastLength(h, rows, pitchY);
    for (int r = 0; r < rows; ++r) {
        const int height = r == rows - 1 ? lastHeight : static_cast<int>(pitchY);
        for (int c = 0; c < columns; ++c) {
            const int width = c == columns - 1 ? lastWidth : static_cast<int>(pitchX);
            AppendTile(*this, image, tiles, TileStart(c, pitchX), TileStart(r, pitchY), width,
                       height);
        }
    }
}

void ImageProcessor::CutByCellSize(Bitmap* image, std::vector<BitmapPtr>* tiles, int cellWidth,
                                   int cellHeight, int* rows, int* columns) const {
    if (tiles == nullptr || cellWidth <= 0 || cellHeight <= 0 || rows == nullptr ||
        columns == nullptr || !IsUsable(image)) {
        return;
    }
    const int w = image->Width();
    const int h = image->Height();
    *columns = w / cellWidth + (w % cellWidth != 0 ? 1 : 0);
    *rows = h / cellHeight + (h % cellHeight != 0 ? 1 : 0);
    // The right column and the bottom row take the remainder, so the cells cover the image.
    const int lastWidth = w - (*columns - 1) * cellWidth;
    const int lastHeight = h - (*rows - 1) * cellHeight;
    const int rowCount = *rows;
    const int columnCount = *columns;
    for (int r = 0; r < rowCount; ++r) {
        const int height = r == rowCount - 1 ? lastHeight : cellHeight;
        for (int c = 0; c < columnCount; ++c) {
            const int width = c == columnCount - 1 ? lastWidth : cellWidth;
            AppendTile(*this, image, tiles, c * cellWidth, r * cellHeight, width, height);
        }
    }
}

}  // namespace corvane
