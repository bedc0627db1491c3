#include "geometry_test_util.h"
#include "imaging/image_processor.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace corvane {
namespace {

using test::CodedBitmap;
using test::SameRegion;
using test::SolidBitmap;

// --- pixel formats and region copy ------------------------------------------------------------

TEST(PixelFormat, DrawableFormatsStayAndOthersBecomeArgb) {
    const struct {
        QImage::Format format;
        bool kept;
    } rows[] = {{QImage::Format_RGB555, true},    {QImage::Format_RGB888, true},
                {QImage::Format_RGB32, true},     {QImage::Format_ARGB32, true},
                {QImage::Format_Indexed8, false}, {QImage::Format_Grayscale8, false},
                {QImage::Format_RGBA64, false},   {QImage::Format_ARGB32_Premultiplied, false}};
    for (const auto& row : rows) {
        BitmapPtr slot = SolidBitmap(5, 4, 0x80FFFFFF, row.format);
        const QRgb colour = slot->Image().pixelColor(4, 3).rgba();
        const Bitmap* before = slot.get();
        ImageProcessor().NormalizePixelFormat(slot);
        ASSERT_TRUE(IsUsable(slot.get()));
        EXPECT_EQ(slot.get() == before, row.kept) << row.format;
        EXPECT_EQ(slot->Image().format(), row.kept ? row.format : QImage::Format_ARGB32);
        EXPECT_EQ(slot->Image().pixel(4, 3), colour) << row.format;
    }
}

TEST(PixelFormat, RegionCopy) {
    ImageProcessor processor;
    // Into an empty slot: a new bitmap of the source's format, even an indexed one.
    for (const QImage::Format format : {QImage::Format_RGB888, QImage::Format_Indexed8}) {
        BitmapPtr source = CodedBitmap(20, 10, format);
        BitmapPtr tile;
        EXPECT_TRUE(processor.CopyRegion(tile, source.get(), 0, 0, 5, 2, 7, 3));
        ASSERT_TRUE(IsUsable(tile.get()));
        EXPECT_EQ(tile->Image().format(), format);
        EXPECT_EQ(tile->Image().size(), QSize(7, 3));
        EXPECT_TRUE(SameRegion(tile->Image(), source->Image(), 5, 2)) << format;
    }
    // Into an existing target, at its place and nowhere else.
    BitmapPtr source = CodedBitmap(8, 8);
    BitmapPtr target = SolidBitmap(20, 20, 0xFFFFFFFF);
    EXPECT_TRUE(processor.CopyRegion(target, source.get(), 10, 12, 2, 3, 4, 5));
    EXPECT_TRUE(SameRegion(source->Image().copy(2, 3, 4, 5), target->Image(), 10, 12));
    for (const QPoint outside : {QPoint(9, 12), QPoint(14, 12), QPoint(10, 17)}) {
        EXPECT_EQ(target->Image().pixel(outside), 0xFFFFFFFFu);
    }
}

// Testing a bitmap changes nothing: a failed one stays failed however often it is asked about,
// so that threads sharing it all see the same answer.
TEST(PixelFormat, UsableIsAQuestionOnly) {
    Bitmap failed(QImage(4, 4, QImage::Format_ARGB32), ImageStatus::DrawFailed);
    EXPECT_FALSE(IsUsable(&failed));
    EXPECT_FALSE(IsUsable(&failed));
    EXPECT_EQ(failed.Status(), ImageStatus::DrawFailed);
}

// A copy from a source that has nothing to copy says so, and leaves the slot as it was.
TEST(PixelFormat, RegionCopyFromNothingCopiesNothing) {
    ImageProcessor processor;
    Bitmap failed(QImage(4, 4, QImage::Format_ARGB32), ImageStatus::OutOfMemory);
    Bitmap empty;
    for (Bitmap* source : {static_cast<Bitmap*>(nullptr), &failed, &empty}) {
        BitmapPtr tile;
        EXPECT_FALSE(processor.CopyRegion(tile, source, 0, 0, 0, 0, 0, 0));
        EXPECT_EQ(tile, nullptr);
        BitmapPtr target = SolidBitmap(4, 4, 0xFFFFFFFF);
        EXPECT_FALSE(processor.CopyRegion(target, source, 0, 0, 0, 0, 0, 0));
        EXPECT_EQ(target->Image().pixel(0, 0), 0xFFFFFFFFu);
    }
}

// --- cut ---------------------------------------------------------------------------------------

void ExpectTiles(const std::vector<BitmapPtr>& tiles, const QImage& image,
                 const std::vector<QRect>& expected) {
    ASSERT_EQ(tiles.size(), expected.size());
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        ASSERT_TRUE(IsUsable(tiles[i].get())) << i;
        EXPECT_EQ(tiles[i]->Image().size(), expected[i].size()) << i;
        EXPECT_TRUE(SameRegion(tiles[i]->Image(), image, expected[i].x(), expected[i].y())) << i;
    }
}

std::vector<QRect> Strip(std::initializer_list<int> xs, int width) {
    std::vector<QRect> rects;
    for (const int x : xs) {
        rects.emplace_back(x, 0, width, 5);
    }
    return rects;
}

TEST(CutTiles, ByCountTruncatesThePitch) {
    const struct {
        QSize size;
        int columns, rows;
        std::vector<QRect> tiles;
    } cases[] = {
        {{100, 60}, 2, 2, {{0, 0, 50, 30}, {50, 0, 50, 30}, {0, 30, 50, 30}, {50, 30, 50, 30}}},
        {{100, 5}, 3, 1, Strip({0, 33, 66}, 33)},              // column 99 is in no tile
        {{100, 5}, 6, 1, Strip({0, 16, 33, 49, 66, 83}, 16)},  // 3 × 16.666666 is 49, not 50
        {{5, 5}, 6, 1, {}},                                    // more columns than pixels
        {{5, 5}, 1, 0, {}},
    };
    for (const auto& row : cases) {
        BitmapPtr image = CodedBitmap(row.size.width(), row.size.height());
        std::vector<BitmapPtr> tiles;
        ImageProcessor().CutByCount(image.get(), &tiles, row.columns, row.rows);
        ExpectTiles(tiles, image->Image(), row.tiles);
    }
}

TEST(CutTiles, ByCellSizeCoversTheImageAndReportsTheGrid) {
    const struct {
        int cellWidth, cellHeight, rows, columns;
        std::vector<QRect> tiles;
    } cases[] = {
        {40,
         40,
         2,
         3,
         {{0, 0, 40, 40},
          {40, 0, 40, 40},
          {80, 0, 20, 40},
          {0, 40, 40, 20},
          {40, 40, 40, 20},
          {80, 40, 20, 20}}},
        {200, 500, 1, 1, {{0, 0, 100, 60}}},  // a cell larger than the image
        {0, 10, -1, -1, {}},                  // invalid: the out numbers are not touched
    };
    for (const auto& row : cases) {
        BitmapPtr image = CodedBitmap(100, 60);
        std::vector<BitmapPtr> tiles;
        int rows = -1;
        int columns = -1;
        ImageProcessor().CutByCellSize(image.get(), &tiles, row.cellWidth, row.cellHeight, &rows,
                                       &columns);
        EXPECT_EQ(rows, row.rows);
        EXPECT_EQ(columns, row.columns);
        ExpectTiles(tiles, image->Image(), row.tiles);
    }
}

// --- combine -----------------------------------------------------------------------------------

TEST(Combine, CanvasGrowsToTheImagesAndIsWhiteElsewhere) {
    const struct {
        std::vector<QRect> placed;  // position and size of each image, in order
        QSize canvas;
    } cases[] = {
        {{{0, 0, 100, 50}, {100, 0, 80, 70}, {180, 0, 60, 40}}, {240, 70}},  // 3 x 1
        {{{0, 0, 100, 50}, {0, 50, 80, 70}, {0, 120, 60, 40}}, {100, 160}},  // 1 x 3
        {{{0, 0, 100, 50}, {100, 0, 80, 70}, {0, 70, 60, 40}, {60, 70, 90, 30}}, {180, 110}},
        {{{0, 0, 90, 30}}, {90, 30}},  // a partial group of one
    };
    for (const auto& row : cases) {
        ImageProcessor processor;
        BitmapPtr canvas;
        std::vector<BitmapPtr> images;
        for (const QRect& place : row.placed) {
            images.push_back(CodedBitmap(place.width(), place.height(), QImage::Format_RGB32, 3));
            images.back()->Image().setDevicePixelRatio(2.0);  // must not scale the drawing
            ASSERT_TRUE(
                processor.AppendToCanvas(canvas, images.back().get(), place.x(), place.y()));
        }
        ASSERT_TRUE(IsUsable(canvas.get()));
        const QImage& pixels = canvas->Image();
        EXPECT_EQ(pixels.format(), QImage::Format_ARGB32);
        EXPECT_EQ(pixels.size(), row.canvas);
        for (std::size_t i = 0; i < images.size(); ++i) {
            EXPECT_TRUE(
                SameRegion(images[i]->Image(), pixels, row.placed[i].x(), row.placed[i].y()));
        }
        for (int y = 0; y < pixels.height(); ++y) {
            for (int x = 0; x < pixels.width(); ++x) {
                const bool covered = std::any_of(row.placed.begin(), row.placed.end(),
                                                 [&](const QRect& r) { return r.contains(x, y); });
                ASSERT_TRUE(covered || pixels.pixel(x, y) == 0xFFFFFFFF) << x << "," << y;
            }
        }
    }
}

TEST(Combine, TranslucentImageShowsWhiteUnderneath) {
    BitmapPtr image = SolidBitmap(10, 10, 0x80FF0000);
    BitmapPtr canvas;
    ASSERT_TRUE(ImageProcessor().AppendToCanvas(canvas, image.get(), 0, 0));
    EXPECT_LE(test::ChannelDistance(canvas->Image().pixel(5, 5), 0xFFFF7F7F), 1);
}

TEST(Combine, PositionPastTheIntRangeFailsWithoutHarm) {
    ImageProcessor processor;
    BitmapPtr image = SolidBitmap(10, 10, 0xFF000000);
    constexpr int kFar = std::numeric_limits<int>::max() - 5;
    BitmapPtr canvas;
    EXPECT_FALSE(processor.AppendToCanvas(canvas, image.get(), kFar, 0));
    EXPECT_FALSE(IsUsable(canvas.get()));
    // A canvas that cannot grow keeps what was placed on it, so it can still be saved.
    BitmapPtr placed;
    ASSERT_TRUE(processor.AppendToCanvas(placed, image.get(), 0, 0));
    const Bitmap* before = placed.get();
    EXPECT_FALSE(processor.AppendToCanvas(placed, image.get(), 0, kFar));
    EXPECT_EQ(placed.get(), before);
    EXPECT_TRUE(IsUsable(placed.get()));
}

}  // namespace
}  // namespace corvane
