// PNG output of ARGB32 images: an image without a single translucent pixel is stored as RGB, one
// with any translucency keeps its alpha channel, and either way the pixels and what travels with
// them (colour profile, text) come back unchanged.

#include "imaging/raster_codec.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>

#include <functional>

namespace corvane {
namespace {

constexpr int kRgb = 2;  // PNG colour types, byte 25 of the file (in IHDR)
constexpr int kRgba = 6;

QImage Gradient(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 11 % 256, (x + y) % 256));
        }
    }
    return image;
}

QImage WithPixel(QImage image, int x, int y, QRgb pixel) {
    image.setPixel(x, y, pixel);
    return image;
}

QByteArray EncodePng(const QImage& image) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(EncodeRaster(image, FormatKind::Png, &buffer));
    return buffer.data();
}

QImage Decode(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer, "png").read();
}

struct AlphaRow {
    const char* name;
    std::function<QImage()> make;
    int colourType;
};

class PngAlpha : public ::testing::TestWithParam<AlphaRow> {};

TEST_P(PngAlpha, StoresAlphaOnlyWhenSomePixelIsTranslucentAndKeepsEveryPixel) {
    const QImage source = GetParam().make();
    const QByteArray png = EncodePng(source);
    ASSERT_GT(png.size(), 25);
    EXPECT_EQ(static_cast<unsigned char>(png[25]), GetParam().colourType);
    const QImage decoded = Decode(png).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(decoded.size(), source.size());
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            ASSERT_EQ(decoded.pixel(x, y), source.pixel(x, y)) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PngAlpha,
    ::testing::Values(
        AlphaRow{"Opaque", [] { return Gradient(37, 23); }, kRgb},
        // The last pixel of the last row, and the first row only: the whole image is looked at.
        AlphaRow{"LastPixelTranslucent",
                 [] { return WithPixel(Gradient(37, 23), 36, 22, qRgba(10, 20, 30, 254)); }, kRgba},
        AlphaRow{"FirstRowTransparent",
                 [] { return WithPixel(Gradient(37, 23), 5, 0, qRgba(0, 0, 0, 0)); }, kRgba},
        // A padded row (3 bytes per pixel, rows rounded up to 4) must not be read as alpha.
        AlphaRow{"Rgb888", [] { return Gradient(37, 23).convertToFormat(QImage::Format_RGB888); },
                 kRgb}),
    test::kRowName);

TEST(PngAlpha, OpaqueImageKeepsItsColourProfileNotItsText) {
    QImage source = Gradient(16, 16);
    source.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    source.setText(QStringLiteral("Comment"), QStringLiteral("decoder's text"));
    const QImage decoded = Decode(EncodePng(source));
    EXPECT_EQ(decoded.colorSpace(), QColorSpace(QColorSpace::DisplayP3));
    // The picture's comment is written by the metadata step, once; not again by the encoder.
    EXPECT_EQ(decoded.text(QStringLiteral("Comment")), QString());
    EXPECT_EQ(source.format(), QImage::Format_ARGB32);  // the caller's image is left as it was
}

}  // namespace
}  // namespace corvane
