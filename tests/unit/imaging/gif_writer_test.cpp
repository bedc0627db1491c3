// Round trips of WriteGif through Qt's own GIF reader.
#include "imaging/gif_writer.h"
#include "support/image_difference.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QSet>

#include <cmath>

namespace corvane {
namespace {

QByteArray EncodeOrFail(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(WriteGif(image, &buffer));
    return bytes;
}

QImage Decode(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    const QImage image = reader.read();
    EXPECT_FALSE(image.isNull()) << reader.errorString().toStdString();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage RoundTrip(const QImage& image) {
    return Decode(EncodeOrFail(image));
}

// What a GIF can hold of a pixel: alpha below 128 is transparent, anything else opaque.
QRgb Representable(QRgb pixel) {
    return qAlpha(pixel) < 128 ? 0 : (pixel | 0xFF000000u);
}
QRgb Comparable(QRgb decoded) {
    return qAlpha(decoded) == 0 ? 0 : decoded;
}

void ExpectSamePixels(const QImage& original, const QImage& decoded) {
    ASSERT_EQ(decoded.size(), original.size());
    const QImage expected = original.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            ASSERT_EQ(Comparable(decoded.pixel(x, y)), Representable(expected.pixel(x, y)))
                << "at " << x << "," << y;
        }
    }
}

int DistinctColours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            colours.insert(image.pixel(x, y));
        }
    }
    return static_cast<int>(colours.size());
}

// `count` different colours spread over the image in a scrambled order.
QImage ImageWithColours(int count) {
    QImage image(64, 48, QImage::Format_ARGB32);
    for (int i = 0; i < image.width() * image.height(); ++i) {
        const int c = (i * 7919) % count;
        image.setPixel(i % image.width(), i / image.width(),
                       qRgb(c % 256, (c / 256) * 13, (c * 97) % 256));
    }
    return image;
}

// Smooth, photograph-like content: far more than 256 colours, no sharp edges.
QImage Gradient(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const double r = 40 + 180 * u + 25 * std::sin(7 * v);
            const double g = 30 + 200 * v * (0.6 + 0.4 * u);
            const double b = 128 + 110 * std::sin(3 * u + 2 * v) * std::cos(4 * v);
            image.setPixel(x, y, qRgb(int(r), int(g), int(b)));
        }
    }
    return image;
}

class GifWriterColourCount : public testing::TestWithParam<int> {};

TEST_P(GifWriterColourCount, UpTo256ColoursRoundTripExactly) {
    const QImage image = ImageWithColours(GetParam());
    ASSERT_EQ(DistinctColours(image), GetParam());
    ExpectSamePixels(image, RoundTrip(image));
}

INSTANTIATE_TEST_SUITE_P(GifWriter, GifWriterColourCount, testing::Values(1, 2, 3, 17, 255, 256),
                         [](const auto& row) { return std::to_string(row.param) + "Colours"; });

TEST(GifWriter, WritesSingleFrameGif89a) {
    const QByteArray bytes = EncodeOrFail(ImageWithColours(5));
    EXPECT_TRUE(bytes.startsWith("GIF89a"));
    EXPECT_TRUE(bytes.endsWith(';'));
    QBuffer buffer(const_cast<QByteArray*>(&bytes));
    buffer.open(QIODevice::ReadOnly);
    EXPECT_EQ(QImageReader(&buffer, "gif").imageCount(), 1);
}

class GifWriterFormat : public testing::TestWithParam<QImage::Format> {};

TEST_P(GifWriterFormat, AnySourceFormatRoundTrips) {
    const QImage image = ImageWithColours(40).convertToFormat(GetParam());
    ExpectSamePixels(image, RoundTrip(image));
}

INSTANTIATE_TEST_SUITE_P(GifWriter, GifWriterFormat,
                         testing::Values(QImage::Format_RGB32, QImage::Format_RGB888,
                                         QImage::Format_RGB555, QImage::Format_Indexed8,
                                         QImage::Format_Grayscale8,
                                         QImage::Format_ARGB32_Premultiplied,
                                         QImage::Format_RGBA64),
                         [](const auto& row) { return test::FormatName(row.param); });

TEST(GifWriter, ManyColoursGetAtMost256AndStayClose) {
    for (const int count : {257, 3000}) {
        const QImage image = ImageWithColours(count);
        ASSERT_EQ(DistinctColours(image), count);
        const QImage decoded = RoundTrip(image);
        EXPECT_LE(DistinctColours(decoded), 256) << count;
        EXPECT_LT(test::CompareImages(image, decoded).meanOfBlocks, 6.0) << count;
    }
}

TEST(GifWriter, GradientIsDitheredWithoutBanding) {
    const QImage image = Gradient(384, 256);
    ASSERT_GT(DistinctColours(image), 5000);
    const QImage decoded = RoundTrip(image);
    // Means over four channels, of which alpha (opaque in both) never differs.
    const test::ImageDifference error = test::CompareImages(image, decoded);
    EXPECT_LT(error.mean, 3.75);  // dither noise, about 3 here
    EXPECT_LT(error.meanOfBlocks, 0.75);
    EXPECT_GT(DistinctColours(decoded), 200);
    EXPECT_LE(DistinctColours(decoded), 256);
}

TEST(GifWriter, AlphaBelow128BecomesTransparent) {
    // Exact path (few colours) and adaptive path (gradient), each with all four alpha classes.
    for (QImage image : {ImageWithColours(30).convertToFormat(QImage::Format_ARGB32),
                         Gradient(128, 96).convertToFormat(QImage::Format_ARGB32)}) {
        const int alphas[] = {0, 127, 128, 255};
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                image.setPixel(x, y, qRgba(qRed(p), qGreen(p), qBlue(p), alphas[(x / 5 + y) % 4]));
            }
        }
        const bool exact = DistinctColours(image) < 256;
        const QImage decoded = RoundTrip(image);
        ASSERT_EQ(decoded.size(), image.size());
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb want = Representable(image.pixel(x, y));
                const QRgb got = decoded.pixel(x, y);
                ASSERT_EQ(qAlpha(got), qAlpha(want)) << x << "," << y;
                if (exact) {
                    ASSERT_EQ(Comparable(got), want) << x << "," << y;
                }
            }
        }
    }
}

TEST(GifWriter, SinglePixel) {
    for (const QRgb pixel : {qRgb(12, 34, 56), qRgba(1, 2, 3, 0)}) {
        QImage image(1, 1, QImage::Format_ARGB32);
        image.setPixel(0, 0, pixel);
        ExpectSamePixels(image, RoundTrip(image));
    }
}

TEST(GifWriter, SizesTheFormatCannotHoldAreRefused) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(WriteGif(QImage(), &buffer));
    EXPECT_FALSE(WriteGif(QImage(65536, 1, QImage::Format_RGB32), &buffer));
    EXPECT_FALSE(WriteGif(QImage(1, 65536, QImage::Format_RGB32), &buffer));
    QImage widest(65535, 1, QImage::Format_RGB32);
    widest.fill(Qt::red);
    EXPECT_TRUE(WriteGif(widest, &buffer));
    EXPECT_EQ(Decode(bytes).width(), 65535);
}

// Accepts `limit` bytes, then refuses every write.
class FailingDevice : public QIODevice {
public:
    explicit FailingDevice(qint64 limit) : limit_(limit) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 length) override {
        if (written_ + length > limit_) {
            return -1;
        }
        written_ += length;
        return length;
    }

private:
    qint64 limit_;
    qint64 written_ = 0;
};

TEST(GifWriter, RefusedWritesAreReported) {
    const QImage image = Gradient(96, 64);
    const qint64 size = EncodeOrFail(image).size();
    // Down to the last byte: the trailer is the one write whose failure giflib itself ignores.
    for (const qint64 limit : {qint64(0), qint64(10), size / 2, size - 1}) {
        FailingDevice device(limit);
        EXPECT_FALSE(WriteGif(image, &device)) << "limit " << limit;
    }
    FailingDevice roomy(size);
    EXPECT_TRUE(WriteGif(image, &roomy));

    QByteArray bytes;
    QBuffer readOnly(&bytes);
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_FALSE(WriteGif(image, &readOnly));
    QBuffer closed;
    EXPECT_FALSE(WriteGif(image, &closed));
    EXPECT_FALSE(WriteGif(image, nullptr));
}

}  // namespace
}  // namespace corvane
