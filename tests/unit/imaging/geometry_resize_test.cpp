#include "geometry_test_util.h"
#include "imaging/image_processor.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace corvane {
namespace {

using test::ChannelDistance;
using test::CodedBitmap;
using test::SolidBitmap;

using Resize = std::function<void(const ImageProcessor&, ImageSlot)>;

Resize Ratio(double r) {
    return [r](const ImageProcessor& p, ImageSlot s) { p.ResizeByRatio(s, r); };
}
Resize Size(int w, int h) {
    return [=](const ImageProcessor& p, ImageSlot s) { p.ResizeToSize(s, w, h); };
}
Resize LongEdge(int limit) {
    return [limit](const ImageProcessor& p, ImageSlot s) { p.LimitLongEdge(s, limit); };
}

TEST(Resize, TargetSizes) {
    const struct {
        QSize before;
        Resize resize;
        QSize after;
    } rows[] = {
        {{101, 51}, Ratio(0.5), {50, 25}},
        {{500, 300}, Ratio(0.001), {1, 1}},
        {{40, 30}, Ratio(2.5), {100, 75}},
        {{800, 600}, Size(0, 300), {400, 300}},
        {{800, 600}, Size(0, 700), {800, 600}},
        {{800, 600}, Size(0, 1), {1, 1}},
        {{800, 600}, Size(400, 0), {400, 300}},
        {{800, 600}, Size(1000, 0), {800, 600}},
        {{800, 600}, Size(1000, 1000), {1000, 1000}},
        {{800, 600}, Size(1000, -5), {800, 600}},
        {{800, 600}, LongEdge(500), {500, 375}},
        {{600, 800}, LongEdge(500), {375, 500}},
        {{640, 640}, LongEdge(500), {500, 500}},
        {{400, 300}, LongEdge(500), {400, 300}},
    };
    for (const auto& row : rows) {
        BitmapPtr slot =
            SolidBitmap(row.before.width(), row.before.height(), 0xFF808080, QImage::Format_RGB32);
        const Bitmap* before = slot.get();
        row.resize(ImageProcessor(), slot);
        ASSERT_TRUE(IsUsable(slot.get()));
        EXPECT_EQ(slot->Image().size(), row.after)
            << row.before.width() << "x" << row.after.width();
        // An unchanged size keeps the very bitmap; a new one is straight ARGB.
        EXPECT_EQ(slot.get() == before, row.after == row.before);
        EXPECT_EQ(slot->Image().format(),
                  row.after == row.before ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    }
}

TEST(Resize, SameSizeLeavesThePixelsBitForBit) {
    BitmapPtr slot = CodedBitmap(37, 23, QImage::Format_RGB888);
    const QImage before = slot->Image().copy();
    ImageProcessor().ResampleTo(slot, 37, 23);
    EXPECT_EQ(slot->Image(), before);
}

TEST(Resize, SizeBeyondAnyBitmapLeavesAFailedBitmap) {
    for (const double ratio : {1e5, 1e9, std::numeric_limits<double>::infinity()}) {
        BitmapPtr slot = SolidBitmap(100, 100, 0xFF000000);
        ImageProcessor().ResizeByRatio(slot, ratio);
        ASSERT_NE(slot, nullptr);
        EXPECT_EQ(slot->TakeStatus(), ImageStatus::OutOfMemory) << ratio;
        EXPECT_FALSE(IsUsable(slot.get()));
    }
}

class ResampleFlatTest : public testing::TestWithParam<std::tuple<QRgb, QImage::Format, QSize>> {};

TEST_P(ResampleFlatTest, FlatColourStaysExactlyFlat) {
    const auto [colour, format, size] = GetParam();
    BitmapPtr slot = SolidBitmap(301, 157, colour, format);
    const QRgb expected = slot->Image().pixelColor(0, 0).rgba();  // straight, as stored or not
    ImageProcessor().ResampleTo(slot, size.width(), size.height());
    ASSERT_TRUE(IsUsable(slot.get()));
    ASSERT_EQ(slot->Image().size(), size);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            ASSERT_EQ(slot->Image().pixel(x, y), expected) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Resample, ResampleFlatTest,
    testing::Combine(testing::Values(0xFF3C6E9B, 0x80C04020),
                     testing::Values(QImage::Format_ARGB32, QImage::Format_RGB888,
                                     QImage::Format_ARGB32_Premultiplied, QImage::Format_Indexed8),
                     testing::Values(QSize(97, 61), QSize(640, 480), QSize(1, 1))),
    [](const auto& row) {
        return QString::number(std::get<0>(row.param), 16).toUpper().toStdString() + "_" +
               test::FormatName(std::get<1>(row.param)) + "_" +
               test::SizeName(std::get<2>(row.param));
    });

TEST(Resample, CheckerboardShrinksToEvenGrey) {
    QImage checker(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < checker.height(); ++y) {
        for (int x = 0; x < checker.width(); ++x) {
            checker.setPixel(x, y, (x + y) % 2 ? 0xFFFFFFFF : 0xFF000000);
        }
    }
    BitmapPtr slot = std::make_unique<Bitmap>(checker);
    ImageProcessor().ResampleTo(slot, 100, 75);
    ASSERT_TRUE(IsUsable(slot.get()));
    for (int y = 0; y < 75; ++y) {
        for (int x = 0; x < 100; ++x) {
            ASSERT_LE(ChannelDistance(slot->Image().pixel(x, y), 0xFF808080), 3) << x << "," << y;
        }
    }
}

TEST(Resample, TransparentColourDoesNotBleed) {
    // Opaque red beside fully transparent green: the seam fades in alpha, never turns green.
    QImage image(64, 8, QImage::Format_ARGB32);
    for (int x = 0; x < 64; ++x) {
        for (int y = 0; y < 8; ++y) {
            image.setPixel(x, y, x < 32 ? 0xFFFF0000 : 0x0000FF00);
        }
    }
    BitmapPtr slot = std::make_unique<Bitmap>(image);
    ImageProcessor().ResampleTo(slot, 16, 2);
    int translucent = 0;
    for (int x = 0; x < 16; ++x) {
        const QRgb pixel = slot->Image().pixel(x, 0);
        if (qAlpha(pixel) > 0) {
            EXPECT_EQ(pixel & 0xFFFFFF, 0xFF0000u) << x;
            translucent += qAlpha(pixel) < 255;
        }
    }
    EXPECT_GT(translucent, 0);
}

// A symmetric, normalised kernel keeps a linear ramp linear, so away from the edges each output
// pixel lies on the ramp at its own centre: this pins the half-pixel alignment of both passes,
// shrinking and enlarging.
TEST(Resample, RampStaysOnTheRamp) {
    const struct {
        bool across;
        int length, newLength;
        double step;  // value per source pixel
    } rows[] = {{true, 128, 64, 2},  {true, 64, 128, 4}, {false, 128, 64, 2},
                {false, 64, 128, 4}, {true, 250, 40, 1}, {false, 50, 210, 5}};
    for (const auto& row : rows) {
        const QSize size = row.across ? QSize(row.length, 3) : QSize(3, row.length);
        QImage ramp(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const int value = static_cast<int>((row.across ? x : y) * row.step);
                ramp.setPixel(x, y, qRgb(value, value, value));
            }
        }
        BitmapPtr slot = std::make_unique<Bitmap>(ramp);
        ImageProcessor().ResampleTo(slot, row.across ? row.newLength : 3,
                                    row.across ? 3 : row.newLength);
        const double scale = double(row.length) / row.newLength;
        const int margin = static_cast<int>(std::ceil(2.0 / std::min(1.0, scale))) + 1;
        for (int i = margin; i < row.newLength - margin; ++i) {
            const double expected = ((i + 0.5) * scale - 0.5) * row.step;
            const QPoint at = row.across ? QPoint(i, 1) : QPoint(1, i);
            ASSERT_NEAR(qRed(slot->Image().pixel(at)), expected, 1.0) << row.length << ":" << i;
        }
    }
}

}  // namespace
}  // namespace corvane
