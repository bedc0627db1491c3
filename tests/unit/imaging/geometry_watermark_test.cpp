#include "geometry_test_util.h"
#include "imaging/image_processor.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using test::CodedBitmap;
using test::SolidBitmap;

TEST(WatermarkFont, SizeFollowsTheWidth) {
    const struct {
        int width, size;
    } rows[] = {{21, 2},   {22, 6},   {49, 6},   {50, 10},  {135, 10},
                {136, 15}, {299, 15}, {300, 16}, {640, 34}, {1024, 54}};
    for (const auto& row : rows) {
        EXPECT_EQ(ImageProcessor::WatermarkFontSize(row.width), row.size) << row.width;
    }
}

// Bounding box of the pixels that satisfy `test`, and the extreme red value among them.
template <typename Test>
QRect Where(const QImage& image, Test test) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (test(image.pixel(x, y))) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

int RedRange(const QImage& image, bool brightest) {
    int extreme = brightest ? 0 : 255;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int red = qRed(image.pixel(x, y));
            extreme = brightest ? std::max(extreme, red) : std::min(extreme, red);
        }
    }
    return extreme;
}

TEST(TextWatermark, LightTextBlendsAtAlpha118InTheLowerRight) {
    BitmapPtr slot = SolidBitmap(400, 200, 0xFF000000, QImage::Format_Indexed8);
    ASSERT_TRUE(ImageProcessor().DrawTextWatermark(slot, QStringLiteral("Corvane 水印")));
    EXPECT_EQ(slot->Image().format(), QImage::Format_ARGB32);  // normalised first
    // Fully covered by the light brush: 255 × 118 / 255 over black; never fully replaced.
    EXPECT_NEAR(RedRange(slot->Image(), true), 118, 2);
    const QRect ink = Where(slot->Image(), [](QRgb p) { return qRed(p) > 0; });
    EXPECT_GT(ink.left(), 200);
    EXPECT_GT(ink.top(), 150);
    EXPECT_GE(ink.right(), 390);
    EXPECT_GE(ink.bottom(), 190);
}

TEST(TextWatermark, DarkCopyLiesTwoPixelsUpAndLeft) {
    BitmapPtr slot = SolidBitmap(300, 120, 0xFF808080, QImage::Format_RGB888);
    ASSERT_TRUE(ImageProcessor().DrawTextWatermark(slot, QStringLiteral("IIII")));
    const QImage& image = slot->Image();
    EXPECT_EQ(image.format(), QImage::Format_RGB888);
    const QRect lighter = Where(image, [](QRgb p) { return qRed(p) > 0x90; });
    const QRect darker = Where(image, [](QRgb p) { return qRed(p) < 0x70; });
    EXPECT_NEAR(lighter.right() - darker.right(), 2, 1);
    EXPECT_NEAR(lighter.bottom() - darker.bottom(), 2, 1);
    // Fully covered by the dark brush: 128 × 137 / 255 + 8 × 118 / 255 ≈ 72.
    EXPECT_NEAR(RedRange(image, false), 72, 3);
}

TEST(PictureWatermark, DrawnUnscaledIntoTheLowerRight) {
    // 200 x 100 picture on a 150 x 300 image: its area (0, 0, 150, 100) lands at (0, 200).
    ImageProcessor processor;
    BitmapPtr slot = SolidBitmap(150, 300, 0xFF000000, QImage::Format_RGB32);
    BitmapPtr white = SolidBitmap(200, 100, 0xFFFFFFFF);
    ASSERT_TRUE(processor.DrawImageWatermark(slot, white.get()));
    EXPECT_EQ(Where(slot->Image(), [](QRgb p) { return (p & 0xFFFFFF) != 0; }),
              QRect(0, 200, 150, 100));

    slot = SolidBitmap(150, 300, 0xFF000000, QImage::Format_RGB32);
    BitmapPtr picture = CodedBitmap(200, 100, QImage::Format_ARGB32, 2);
    ASSERT_TRUE(processor.DrawImageWatermark(slot, picture.get()));
    for (const QPoint at : {QPoint(149, 99), QPoint(37, 51), QPoint(120, 3)}) {
        const QRgb expected = picture->Image().pixel(at);
        const QRgb drawn = slot->Image().pixel(at + QPoint(0, 200));
        EXPECT_NEAR(qRed(drawn), qRed(expected) * 0.481, 1.0) << at.x() << "," << at.y();
        EXPECT_NEAR(qGreen(drawn), qGreen(expected) * 0.481, 1.0) << at.x() << "," << at.y();
    }
    EXPECT_FALSE(processor.DrawImageWatermark(slot, nullptr));
}

TEST(PictureWatermark, OpaquePixelBlendsAtOpacity0481) {
    BitmapPtr slot = SolidBitmap(50, 40, 0xFF204060, QImage::Format_RGB888);
    BitmapPtr picture = SolidBitmap(10, 8, 0xFFF0C080);
    ASSERT_TRUE(ImageProcessor().DrawImageWatermark(slot, picture.get()));
    const QImage& image = slot->Image();
    const auto blend = [](int over, int under) { return over * 0.481 + under * (1 - 0.481); };
    const QRgb inside = image.pixel(45, 35);
    EXPECT_NEAR(qRed(inside), blend(0xF0, 0x20), 1.0);
    EXPECT_NEAR(qGreen(inside), blend(0xC0, 0x40), 1.0);
    EXPECT_NEAR(qBlue(inside), blend(0x80, 0x60), 1.0);
    EXPECT_EQ(image.pixel(39, 35), 0xFF204060u);
    EXPECT_EQ(image.pixel(45, 31), 0xFF204060u);
}

}  // namespace
}  // namespace corvane
