// Our JPEG writer must write exactly the file Qt's JPEG writer writes, for every pixel format it
// takes and every way a picture states its resolution and colour profile; and a device that
// refuses the bytes is a failed write that leaves nothing behind.

#include "jpeg_writer.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QtEndian>

#include <ostream>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace corvane {
namespace {

struct WriterRow {
    const char* name;
    QImage::Format format;
    QSize size;
    int dotsPerMeterX = 0;
    int dotsPerMeterY = 0;
    bool profile = false;
    int quality = 75;
};

void PrintTo(const WriterRow& row, std::ostream* out) {
    *out << row.name;
}

QImage Picture(const WriterRow& row) {
    QImage image(row.size, QImage::Format_ARGB32);
    for (int y = 0; y < row.size.height(); ++y) {
        for (int x = 0; x < row.size.width(); ++x) {
            image.setPixel(x, y,
                           qRgba((x * 7 + y) & 255, (x ^ y) & 255, (y * 5) & 255, (x + y) & 255));
        }
    }
    image = image.convertToFormat(row.format);
    if (row.dotsPerMeterX > 0) {
        image.setDotsPerMeterX(row.dotsPerMeterX);
        image.setDotsPerMeterY(row.dotsPerMeterY);
    }
    if (row.profile) {
        image.setColorSpace(QColorSpace::AdobeRgb);
    }
    return image;
}

QByteArray WrittenByQt(const QImage& image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    EXPECT_TRUE(writer.write(image));
    return bytes;
}

class JpegWriter : public ::testing::TestWithParam<WriterRow> {};

TEST_P(JpegWriter, SameFileAsQtWrites) {
    const QImage image = Picture(GetParam());
    QByteArray ours;
    QBuffer buffer(&ours);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(CanWriteJpeg(image));
    ASSERT_TRUE(WriteJpegFile(image, GetParam().quality, &buffer));
    EXPECT_EQ(ours, WrittenByQt(image, GetParam().quality));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, JpegWriter,
    ::testing::Values(
        WriterRow{"rgb32", QImage::Format_RGB32, {333, 71}},
        // Qt's writer ignores alpha: the colour bytes go in as they are.
        WriterRow{"argb32", QImage::Format_ARGB32, {64, 64}},
        WriterRow{"rgb888", QImage::Format_RGB888, {17, 300}},
        WriterRow{"grey", QImage::Format_Grayscale8, {129, 33}},
        WriterRow{"one_pixel", QImage::Format_RGB32, {1, 1}},
        WriterRow{"per_inch", QImage::Format_RGB32, {40, 30}, 11811, 5906},
        WriterRow{"per_centimetre", QImage::Format_RGB32, {40, 30}, 3000, 5000},
        WriterRow{"profile", QImage::Format_RGB32, {40, 30}, 0, 0, true},
        WriterRow{"grey_with_profile_left_out", QImage::Format_Grayscale8, {40, 30}, 0, 0, true},
        WriterRow{"quality_95", QImage::Format_RGB32, {90, 90}, 0, 0, false, 95}),
    test::kRowName);

TEST(JpegWriter, OtherFormatsAreLeftToQt) {
    EXPECT_FALSE(CanWriteJpeg(QImage(8, 8, QImage::Format_Indexed8)));
    EXPECT_FALSE(CanWriteJpeg(QImage(8, 8, QImage::Format_ARGB32_Premultiplied)));
    EXPECT_FALSE(CanWriteJpeg(QImage()));
}

TEST(JpegWriter, RefusedWriteIsAFailure) {
    QImage image(300, 300, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QBuffer closed;  // never opened: every write fails
    EXPECT_FALSE(WriteJpegFile(image, 75, &closed));
}

// A valid profile grown past 64 KiB by a private tag that readers skip: it takes two APP2 markers.
QByteArray LargeProfile() {
    QByteArray icc = QColorSpace(QColorSpace::SRgb).iccProfile();
    constexpr qsizetype kCount = 128;  // the tag count, then the tag table
    const quint32 count = qFromBigEndian<quint32>(icc.constData() + kCount);
    const qsizetype tableEnd = kCount + 4 + qsizetype(count) * 12;
    for (quint32 i = 0; i < count; ++i) {  // the data moves by the new entry
        char* offset = icc.data() + kCount + 4 + i * 12 + 4;
        qToBigEndian<quint32>(qFromBigEndian<quint32>(offset) + 12, offset);
    }
    while (icc.size() % 4 != 0) {
        icc.append('\0');
    }
    QByteArray tag(70 * 1024, 'c');
    tag.replace(0, 8, QByteArray("cvnp\0\0\0\0", 8));  // type, reserved
    QByteArray entry(12, '\0');
    qToBigEndian<quint32>(0x63766e70, entry.data());  // 'cvnp'
    qToBigEndian<quint32>(quint32(icc.size() + 12), entry.data() + 4);
    qToBigEndian<quint32>(quint32(tag.size()), entry.data() + 8);
    icc.insert(tableEnd, entry);
    icc.append(tag);
    qToBigEndian<quint32>(count + 1, icc.data() + kCount);
    qToBigEndian<quint32>(quint32(icc.size()), icc.data());
    return icc;
}

QImage WithLargeProfile() {
    QImage image = Picture(WriterRow{"large_profile", QImage::Format_RGB32, {40, 30}});
    image.setColorSpace(QColorSpace::fromIccProfile(LargeProfile()));
    return image;
}

TEST(JpegWriter, ALargeProfileGoesInPiecesAsQtWritesIt) {
    const QImage image = WithLargeProfile();
    ASSERT_GT(image.colorSpace().iccProfile().size(), 64 * 1024);
    QByteArray ours;
    QBuffer buffer(&ours);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(WriteJpegFile(image, 75, &buffer));
    EXPECT_EQ(ours, WrittenByQt(image, 75));
}

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
qint64 HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks) + qint64(info.hblkhd);
}
#endif

// The device fails while the profile's first marker is written: libjpeg jumps back out of the
// marker code, which must hold no memory of its own then (AddressSanitizer's leak check, and the
// heap here, see it otherwise).
TEST(JpegWriter, ADeviceFailingInTheProfileLeavesNoMemoryBehind) {
    const QImage image = WithLargeProfile();
    ASSERT_GT(image.colorSpace().iccProfile().size(), 64 * 1024);
    QBuffer closed;                                   // never opened: every write fails
    EXPECT_FALSE(WriteJpegFile(image, 75, &closed));  // what the first call allocates for good
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    const qint64 before = HeapInUse();
    for (int i = 0; i < 32; ++i) {
        EXPECT_FALSE(WriteJpegFile(image, 75, &closed));
    }
    // A jump past the pieces of the profile would keep 128 KiB each time.
    EXPECT_LT(HeapInUse() - before, qint64(1) << 20);
#endif
}

}  // namespace
}  // namespace corvane
