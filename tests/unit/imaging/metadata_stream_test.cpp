// Metadata put into JPEG and PNG while they are written: where the segments go however the
// encoder hands its bytes over, what does not fit a segment, and that no metadata costs nothing.

#include "metadata_stream.h"

#include "imaging/raster_codec.h"
#include "support/test_names.h"

#include "unit/imaging/qt_encoded.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QtEndian>

#include <algorithm>

namespace corvane {
namespace {

QImage Gradient() {
    QImage image(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgb(x * 6, y * 8, 128));
        }
    }
    return image;
}

// What `write` puts into a fresh buffer.
template <typename Write>
QByteArray Written(Write write) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    write(&buffer);
    return bytes;
}

struct PieceRow {
    const char* name;
    qsizetype piece;  // bytes per write
};

class SplicerPieces : public ::testing::TestWithParam<PieceRow> {};

TEST_P(SplicerPieces, SegmentsFollowStartAndJfif) {
    const QByteArray jpeg = test::QtEncoded(Gradient(), "jpeg");
    ASSERT_TRUE(jpeg.startsWith("\xFF\xD8\xFF\xE0"));
    const qsizetype afterJfif = 4 + qFromBigEndian<quint16>(jpeg.constData() + 4);
    const QByteArray segments("\xFF\xFE\x00\x07notes", 9);
    bool spliced = false;
    const QByteArray out = Written([&](QIODevice* target) {
        JpegSegmentSplicer splicer(target, segments);
        for (qsizetype at = 0; at < jpeg.size(); at += GetParam().piece) {
            const QByteArray piece = jpeg.mid(at, GetParam().piece);
            ASSERT_EQ(splicer.write(piece), piece.size());
        }
        spliced = splicer.Spliced();
    });
    EXPECT_TRUE(spliced);
    EXPECT_EQ(out, jpeg.first(afterJfif) + segments + jpeg.sliced(afterJfif));
    EXPECT_EQ(QImage::fromData(out).size(), QSize(40, 30));
}

INSTANTIATE_TEST_SUITE_P(Pieces, SplicerPieces,
                         ::testing::Values(PieceRow{"byte by byte", 1}, PieceRow{"three bytes", 3},
                                           PieceRow{"libjpeg buffer", 4096},
                                           PieceRow{"whole file", 1 << 20}),
                         test::kRowName);

TEST(JpegSegmentSplicer, WhatIsNoJpegIsRefused) {
    const struct {
        const char* name;
        QByteArray bytes;
    } rows[] = {
        {"png", test::QtEncoded(Gradient(), "png")},
        {"cut after the start", QByteArray("\xFF\xD8\xFF", 3)},
        {"cut inside jfif", test::QtEncoded(Gradient(), "jpeg").first(10)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        bool spliced = true;
        const QByteArray out = Written([&](QIODevice* target) {
            JpegSegmentSplicer splicer(target, "segments");
            splicer.write(row.bytes);
            spliced = splicer.Spliced();
        });
        EXPECT_FALSE(spliced);
        EXPECT_TRUE(out.isEmpty());
    }
}

// The largest block of each kind that fits one segment (its length field counts itself, the
// segment's name and the block), and one byte more.
TEST(JpegMetadataSegments, EachBlockFitsOneSegmentOrNone) {
    const struct {
        const char* name;
        QByteArray MetadataBlocks::*block;
        qsizetype largest;
    } rows[] = {
        {"exif", &MetadataBlocks::exif, 0xFFFF - 2 - 6},
        {"xmp", &MetadataBlocks::xmp, 0xFFFF - 2 - 29},
        {"iptc", &MetadataBlocks::iptc, 0xFFFF - 2 - 14},
        {"comment", &MetadataBlocks::comment, 0xFFFF - 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MetadataBlocks blocks;
        blocks.*row.block = QByteArray(row.largest, 'x');
        const std::optional<QByteArray> segments = JpegMetadataSegments(blocks);
        ASSERT_TRUE(segments.has_value());
        EXPECT_EQ(segments->size(), 0xFFFF + 2);
        EXPECT_TRUE(StreamsMetadata(Gradient(), FormatKind::Jpeg, blocks));
        (blocks.*row.block).append('x');
        EXPECT_FALSE(JpegMetadataSegments(blocks).has_value());
        EXPECT_FALSE(StreamsMetadata(Gradient(), FormatKind::Jpeg, blocks));
    }
}

// Empty blocks leave the file exactly as it is without metadata.
TEST(StreamedMetadata, NoBlocksWriteTheSameBytes) {
    const MetadataBlocks none;
    for (FormatKind kind : {FormatKind::Jpeg, FormatKind::Png}) {
        ASSERT_TRUE(StreamsMetadata(Gradient(), kind, none));
        const QByteArray plain =
            Written([&](QIODevice* device) { EncodeRaster(Gradient(), kind, device); });
        const QByteArray streamed = Written(
            [&](QIODevice* device) { EncodeRaster(Gradient(), kind, device, nullptr, &none); });
        ASSERT_FALSE(plain.isEmpty());
        EXPECT_EQ(streamed, plain);
    }
}

// The pictures our PNG writer does not take go through Qt's and the rewrite.
TEST(StreamedMetadata, OnlyOurPngWriterStreams) {
    const MetadataBlocks none;
    EXPECT_TRUE(StreamsMetadata(Gradient(), FormatKind::Png, none));
    EXPECT_FALSE(
        StreamsMetadata(Gradient().convertToFormat(QImage::Format_RGBA64), FormatKind::Png, none));
    EXPECT_FALSE(StreamsMetadata(Gradient(), FormatKind::Tiff, none));
}

}  // namespace
}  // namespace corvane
