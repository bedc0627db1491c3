// Our PNG writer: the fast row filters against their one-byte-at-a-time reference, pictures that
// come back pixel for pixel through libpng (Qt's reader), bytes that do not depend on how many
// threads share the work, and files no larger than libpng's own at zlib level 4.

#include "png_writer.h"
#include "platform/work_pool.h"
#include "png_filter.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace corvane {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A row with its padding of zeros before it, as the filter expects.
struct PaddedRow {
    explicit PaddedRow(Bytes bytes) : storage(kPngRowPad, 0) {
        storage.insert(storage.end(), bytes.begin(), bytes.end());
    }
    const std::uint8_t* Data() const { return storage.data() + kPngRowPad; }
    Bytes storage;
};

struct FilterRow {
    const char* name;
    int bpp;
    std::size_t length;
    std::function<std::uint8_t(std::mt19937&, std::size_t)> byte;
};

class PngRowFilter : public ::testing::TestWithParam<FilterRow> {};

TEST_P(PngRowFilter, FastPathChoosesAndWritesExactlyAsTheReference) {
    std::mt19937 random(7);
    const FilterRow& p = GetParam();
    for (int trial = 0; trial < 20; ++trial) {
        Bytes above(p.length);
        Bytes row(p.length);
        for (std::size_t i = 0; i < p.length; ++i) {
            above[i] = p.byte(random, i);
            row[i] = p.byte(random, i + 1);
        }
        const PaddedRow paddedAbove(trial == 0 ? Bytes(p.length, 0) : above);
        const PaddedRow paddedRow(row);
        Bytes fast(p.length + 1);
        Bytes reference(p.length + 1);
        FilterPngRow(paddedRow.Data(), paddedAbove.Data(), p.length, p.bpp, fast.data());
        FilterPngRowScalar(paddedRow.Data(), paddedAbove.Data(), p.length, p.bpp, reference.data());
        ASSERT_EQ(fast, reference) << "trial " << trial;
    }
}

std::uint8_t Noise(std::mt19937& random, std::size_t) {
    return static_cast<std::uint8_t>(random());
}
std::uint8_t Smooth(std::mt19937& random, std::size_t i) {
    return static_cast<std::uint8_t>(i / 5 + random() % 3);
}
std::uint8_t Flat(std::mt19937&, std::size_t) {
    return 200;
}

INSTANTIATE_TEST_SUITE_P(Rows, PngRowFilter,
                         ::testing::Values(FilterRow{"grey one byte", 1, 1, Noise},
                                           FilterRow{"grey shorter than a step", 1, 15, Noise},
                                           FilterRow{"rgb odd length noise", 3, 3 * 37, Noise},
                                           FilterRow{"rgb smooth", 3, 3 * 300, Smooth},
                                           FilterRow{"rgba noise", 4, 4 * 129, Noise},
                                           FilterRow{"rgba flat", 4, 4 * 64, Flat},
                                           FilterRow{"grey long smooth", 1, 4099, Smooth}),
                         test::kRowName);

QImage Pattern(int width, int height, QImage::Format format) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgba(x * 7 % 256, y * 11 % 256, (x ^ y) % 256, 255 - (x % 3)));
        }
    }
    return image.convertToFormat(format);
}

QByteArray Write(const QImage& image, WorkPool* pool = nullptr) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(WritePng(image, &buffer, pool));
    return buffer.data();
}

QImage Read(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    QImage image = reader.read();
    EXPECT_FALSE(image.isNull()) << reader.errorString().toStdString();
    return image;
}

struct RoundTripRow {
    const char* name;
    QSize size;
    QImage::Format format;
};

class PngRoundTrip : public ::testing::TestWithParam<RoundTripRow> {};

TEST_P(PngRoundTrip, LibpngReadsBackEveryPixel) {
    const RoundTripRow& p = GetParam();
    const QImage source = Pattern(p.size.width(), p.size.height(), p.format);
    const QImage decoded = Read(Write(source));
    ASSERT_EQ(decoded.size(), source.size());
    const QImage::Format compareAs =
        p.format == QImage::Format_Grayscale8 ? QImage::Format_Grayscale8 : QImage::Format_ARGB32;
    EXPECT_EQ(decoded.convertToFormat(compareAs), source.convertToFormat(compareAs));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PngRoundTrip,
    ::testing::Values(RoundTripRow{"one pixel rgb", {1, 1}, QImage::Format_RGB32},
                      RoundTripRow{"rgb32", {37, 23}, QImage::Format_RGB32},
                      RoundTripRow{"argb translucent", {37, 23}, QImage::Format_ARGB32},
                      RoundTripRow{"rgb888 padded rows", {37, 23}, QImage::Format_RGB888},
                      RoundTripRow{"grey", {37, 23}, QImage::Format_Grayscale8},
                      // Many rows to a band, several bands; then one row to a band.
                      RoundTripRow{"several bands", {300, 2000}, QImage::Format_RGB32},
                      RoundTripRow{"one row a band", {70000, 3}, QImage::Format_ARGB32}),
    test::kRowName);

TEST(PngWriter, BytesDoNotDependOnHowManyThreadsWork) {
    const QImage image = Pattern(640, 1500, QImage::Format_RGB32);
    const QByteArray alone = Write(image);
    WorkPool one(1);
    WorkPool three(3);
    EXPECT_EQ(Write(image, &one), alone);
    EXPECT_EQ(Write(image, &three), alone);
}

// Text-like artwork: glyphs repeated along lines, where deflate's string matching pays.
QImage TextLike(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(qRgb(250, 250, 245));
    std::mt19937 random(3);
    for (int line = 0; line + 12 < height; line += 18) {
        for (int x = 0; x + 8 < width; x += 9) {
            const unsigned glyph = random() % 40;
            for (int dy = 0; dy < 12; ++dy) {
                for (int dx = 0; dx < 8; ++dx) {
                    if (((glyph * 2654435761u) >> (dy * 2 + dx % 3)) & 1) {
                        image.setPixel(x + dx, line + dy, qRgb(30, 30, 40 + glyph));
                    }
                }
            }
        }
    }
    return image;
}

// Smooth light and a little noise, as in photographs.
QImage PhotoLike(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(5);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int n = static_cast<int>(random() % 7) - 3;
            image.setPixel(x, y,
                           qRgb(std::clamp(x / 4 + y / 8 + n, 0, 255),
                                std::clamp(120 + (x - y) / 16 + n, 0, 255),
                                std::clamp(200 - y / 5 + n, 0, 255)));
        }
    }
    return image;
}

qint64 LibpngLevel4Size(const QImage& image) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setCompression(50);  // zlib level 4, what the program wrote with before
    EXPECT_TRUE(writer.write(image));
    return buffer.size();
}

TEST(PngWriter, FilesNoLargerThanLibpngAtLevelFour) {
    for (const QImage& image : {TextLike(800, 600), PhotoLike(800, 600)}) {
        const qint64 ours = Write(image).size();
        EXPECT_LE(ours, LibpngLevel4Size(image) * 102 / 100);
    }
}

TEST(PngWriter, RefusedWriteIsAFailure) {
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_FALSE(WritePng(Pattern(8, 8, QImage::Format_RGB32), &readOnly, nullptr));
}

}  // namespace
}  // namespace corvane
