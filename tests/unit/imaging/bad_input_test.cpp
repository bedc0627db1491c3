// Loading files that are damaged, lying or not images at all: never a crash, never a bitmap
// that claims to be usable without pixels, and no allocation driven by a forged header.

#include "imaging/image_processor.h"
#include "imaging/png_chunks.h"
#include "imaging/raster_codec.h"
#include "metafile/metafile.h"
#include "support/metadata_samples.h"
#include "support/temp_tree.h"
#include "support/test_names.h"
#include "support/two_frame_gif.h"

#include "unit/imaging/qt_encoded.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>

#include <array>
#include <functional>
#include <random>

namespace corvane {
namespace {

using test::QtEncoded;

using test::TempTree;

// A small picture with gradients and noise, so that the decoders walk real data paths.
QImage NoisyPicture(int width, int height) {
    std::mt19937 random(7);
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int noise = int(random() % 32);
            image.setPixel(x, y, qRgb(x * 8 % 224 + noise, y * 12 % 224 + noise, 128 + noise));
        }
    }
    return image;
}

QByteArray ProgressiveJpeg(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    return bytes;
}

QByteArray OurGif(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EncodeRaster(image, FormatKind::Gif, &buffer);
    return bytes;
}

void Put32BigEndian(QByteArray& bytes, qsizetype at, quint32 value) {
    qToBigEndian(value, reinterpret_cast<uchar*>(bytes.data()) + at);
}

// A valid PNG whose IHDR (with a correct CRC) claims the given size.
QByteArray PngClaiming(quint32 width, quint32 height) {
    QByteArray png = QtEncoded(NoisyPicture(4, 4), "png");
    constexpr qsizetype kIhdrType = 12;  // after the signature and the chunk length
    Put32BigEndian(png, kIhdrType + 4, width);
    Put32BigEndian(png, kIhdrType + 8, height);
    Put32BigEndian(png, kIhdrType + 17, test::Crc32(png.mid(kIhdrType, 17)));
    return png;
}

// A valid JPEG whose frame header claims the given size.
QByteArray JpegClaiming(quint16 width, quint16 height) {
    QByteArray jpeg = QtEncoded(NoisyPicture(8, 8), "jpeg");
    const qsizetype frame = jpeg.indexOf("\xff\xc0");
    if (frame >= 0) {
        qToBigEndian(height, reinterpret_cast<uchar*>(jpeg.data()) + frame + 5);
        qToBigEndian(width, reinterpret_cast<uchar*>(jpeg.data()) + frame + 7);
    }
    return jpeg;
}

// A 24-bit BMP header claiming the given size, followed by a few bytes of pixels.
QByteArray BmpClaiming(qint32 width, qint32 height) {
    QByteArray bmp(54, '\0');
    auto* data = reinterpret_cast<uchar*>(bmp.data());
    bmp[0] = 'B';
    bmp[1] = 'M';
    qToLittleEndian<quint32>(54 + 16, data + 2);  // file size
    qToLittleEndian<quint32>(54, data + 10);      // pixel data offset
    qToLittleEndian<quint32>(40, data + 14);      // BITMAPINFOHEADER
    qToLittleEndian<qint32>(width, data + 18);
    qToLittleEndian<qint32>(height, data + 22);
    qToLittleEndian<quint16>(1, data + 26);   // planes
    qToLittleEndian<quint16>(24, data + 28);  // bits per pixel
    return bmp + QByteArray(16, '\x55');
}

// A valid TIFF whose first directory claims the given size.
QByteArray TiffClaiming(quint16 width, quint16 height) {
    QByteArray tiff = QtEncoded(NoisyPicture(4, 4), "tiff");
    if (!tiff.startsWith("II")) {
        return tiff;  // Qt writes little-endian TIFF; anything else is not what this expects
    }
    auto* data = reinterpret_cast<uchar*>(tiff.data());
    const quint32 ifd = qFromLittleEndian<quint32>(data + 4);
    const quint16 count = qFromLittleEndian<quint16>(data + ifd);
    for (quint16 i = 0; i < count; ++i) {
        uchar* entry = data + ifd + 2 + 12 * i;
        const quint16 tag = qFromLittleEndian<quint16>(entry);
        const quint16 type = qFromLittleEndian<quint16>(entry + 2);
        constexpr quint16 kWidthTag = 256, kHeightTag = 257, kShort = 3;
        if (tag == kWidthTag || tag == kHeightTag) {
            const quint16 value = tag == kWidthTag ? width : height;
            if (type == kShort) {
                qToLittleEndian<quint16>(value, entry + 8);
            } else {
                qToLittleEndian<quint32>(value, entry + 8);
            }
        }
    }
    return tiff;
}

struct CaseRow {
    const char* name;
    std::function<QByteArray()> bytes;
    const char* fileName;
    bool usable;
    ImageStatus status;  // the status left on the bitmap
    LoadError::Kind reason;
};

class BadInputCase : public ::testing::TestWithParam<CaseRow> {};

TEST_P(BadInputCase, LoadsAsExpected) {
    const CaseRow& row = GetParam();
    TempTree tree;
    LoadError error;
    BitmapPtr bitmap =
        ImageProcessor().LoadImage(tree.WriteFile(row.fileName, row.bytes()), nullptr, {}, &error);
    ASSERT_NE(bitmap, nullptr);
    const ImageStatus status = bitmap->TakeStatus();
    EXPECT_EQ(status, row.status);
    bitmap->SetStatus(status);
    EXPECT_EQ(IsUsable(bitmap.get()), row.usable);
    EXPECT_EQ(error.kind, row.reason) << error.text.toStdString();
    // Every refusal says why in words; a picture that loaded has nothing to say.
    EXPECT_EQ(error.text.isEmpty(), row.reason == LoadError::Kind::None);
}

QByteArray OnePixel(const char* format) {
    return QtEncoded(NoisyPicture(1, 1), format);
}

QByteArray OurEmf(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    WriteEmf(image, &buffer);
    return bytes;
}

QByteArray Halved(const QByteArray& bytes) {
    return bytes.left(bytes.size() / 2);
}

// The header record of an EMF without the records that draw: a metafile with nothing to show.
QByteArray EmfHeaderAlone(const QByteArray& emf) {
    const auto headerSize =
        qFromLittleEndian<quint32>(reinterpret_cast<const uchar*>(emf.constData()) + 4);
    return emf.left(headerSize);
}

// Our EMF with its bounds and frame stretched far past any picture we would allocate.
QByteArray EmfClaimingHugeFrame(QByteArray emf) {
    auto* data = reinterpret_cast<uchar*>(emf.data());
    for (int offset : {16, 20, 32, 36}) {  // right and bottom of the bounds, then of the frame
        qToLittleEndian<qint32>(0x7FFFFFF, data + offset);
    }
    return emf;
}

using Kind = LoadError::Kind;

INSTANTIATE_TEST_SUITE_P(
    Cases, BadInputCase,
    ::testing::Values(CaseRow{"ZeroBytes", [] { return QByteArray(); }, "empty.png", false,
                              ImageStatus::UnknownFormat, Kind::NotAnImage},
                      CaseRow{"TextNamedJpg", [] { return QByteArray("this is not a picture\n"); },
                              "note.jpg", false, ImageStatus::UnknownFormat, Kind::NotAnImage},
                      CaseRow{"PngClaimsHugeSize", [] { return PngClaiming(100000, 100000); },
                              "bomb.png", false, ImageStatus::OutOfMemory, Kind::TooLarge},
                      CaseRow{"JpegClaimsHugeSize", [] { return JpegClaiming(65000, 65000); },
                              "bomb.jpg", false, ImageStatus::OutOfMemory, Kind::TooLarge},
                      CaseRow{"TiffClaimsHugeSize", [] { return TiffClaiming(65535, 65535); },
                              "bomb.tif", false, ImageStatus::OutOfMemory, Kind::TooLarge},
                      // Qt's BMP reader refuses sizes above 16384 x 16384 itself, before our bound.
                      CaseRow{"BmpClaimsHugeSize", [] { return BmpClaiming(100000, 100000); },
                              "bomb.bmp", false, ImageStatus::UnknownFormat, Kind::Corrupt},
                      CaseRow{"PngCutInHalf",
                              [] { return Halved(QtEncoded(NoisyPicture(24, 16), "png")); },
                              "half.png", false, ImageStatus::UnknownFormat, Kind::Corrupt},
                      CaseRow{"EmfHeaderAlone",
                              [] { return EmfHeaderAlone(OurEmf(NoisyPicture(24, 16))); },
                              "header.emf", false, ImageStatus::UnknownFormat, Kind::Corrupt},
                      CaseRow{"EmfClaimsHugeFrame",
                              [] { return EmfClaimingHugeFrame(OurEmf(NoisyPicture(24, 16))); },
                              "bomb.emf", false, ImageStatus::OutOfMemory, Kind::TooLarge},
                      CaseRow{"PngOnePixel", [] { return OnePixel("png"); }, "one.png", true,
                              ImageStatus::Ok, Kind::None},
                      CaseRow{"JpegOnePixel", [] { return OnePixel("jpeg"); }, "one.jpg", true,
                              ImageStatus::Ok, Kind::None},
                      CaseRow{"BmpOnePixel", [] { return OnePixel("bmp"); }, "one.bmp", true,
                              ImageStatus::Ok, Kind::None},
                      CaseRow{"TiffOnePixel", [] { return OnePixel("tiff"); }, "one.tif", true,
                              ImageStatus::Ok, Kind::None},
                      CaseRow{"GifOnePixel", [] { return test::kTwoFrameGif; }, "one.gif", true,
                              ImageStatus::Ok, Kind::None},
                      CaseRow{"EmfWhole", [] { return OurEmf(NoisyPicture(24, 16)); }, "whole.emf",
                              true, ImageStatus::Ok, Kind::None}),
    test::kRowName);

QByteArray PngEndingInChunk(const char* type, quint32 declared, qsizetype tail) {
    return test::PngEndingInChunk(NoisyPicture(4, 4), type, declared, tail);
}

struct ChunkRow {
    const char* name;
    std::function<QByteArray()> bytes;
    bool fits;
};

class PngChunks : public ::testing::TestWithParam<ChunkRow> {};

TEST_P(PngChunks, FitWhenNoneRunsPastTheEnd) {
    EXPECT_EQ(PngChunksFit(GetParam().bytes()), GetParam().fits);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PngChunks,
    ::testing::Values(
        ChunkRow{"WholePng", [] { return QtEncoded(NoisyPicture(24, 16), "png"); }, true},
        ChunkRow{"TextClaims2GiB", [] { return PngEndingInChunk("zTXt", 0x7FFFFFF0u, 40); }, false},
        ChunkRow{"ProfileClaimsOneByteMore", [] { return PngEndingInChunk("iCCP", 41, 40); },
                 false},
        ChunkRow{"ImageDataCutShort", [] { return PngEndingInChunk("IDAT", 0x7FFFFFF0u, 40); },
                 true},
        ChunkRow{"CutInsideAChunkHeader",
                 [] { return QtEncoded(NoisyPicture(4, 4), "png").left(8 + 25 + 5); }, true},
        ChunkRow{"ClaimAfterTheEnd",
                 [] {
                     return QtEncoded(NoisyPicture(4, 4), "png") + QByteArray::fromHex("7ffffff0") +
                            "zTXt";
                 },
                 true},
        ChunkRow{"NotAPng", [] { return QByteArray(64, '\xFF'); }, true}),
    test::kRowName);

// Found by the metadata fuzzer: Qt's reader cleared the 2 GiB a text chunk of a 4 kB file
// declared. The loader turns such a file away before the reader sees it.
TEST(PngChunks, ALoadTurnsAwayAChunkRunningPastTheEnd) {
    TempTree tree;
    LoadError error;
    BitmapPtr bitmap = ImageProcessor().LoadImage(
        tree.WriteFile("claims.png", PngEndingInChunk("zTXt", 0x7FFFFFF0u, 4000)), nullptr, {},
        &error);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_FALSE(IsUsable(bitmap.get()));
    EXPECT_EQ(error.kind, LoadError::Kind::Corrupt);
    EXPECT_TRUE(error.text.contains(QStringLiteral("runs past the end")))
        << error.text.toStdString();
}

// Damaged copies of valid encodings: every short prefix and every byte flipped in the headers,
// then a stride through the rest. A prefix that still gives a picture says it is incomplete
// exactly when it is shorter than `wholeFrom` bytes from the end (0: the whole file is needed;
// -1: not checked).
struct DamageRow {
    const char* name;
    std::function<QByteArray()> bytes;
    qsizetype wholeFrom = -1;
};

class BadInputDamaged : public ::testing::TestWithParam<DamageRow> {
protected:
    void SetUp() override { previous_ = qInstallMessageHandler(Quiet); }
    void TearDown() override { qInstallMessageHandler(previous_); }

    // Decoders complain loudly about damaged data; that noise is expected here.
    static void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

    QtMessageHandler previous_ = nullptr;
};

std::vector<qsizetype> Offsets(qsizetype size) {
    constexpr qsizetype kEveryByteUpTo = 256;
    constexpr qsizetype kStride = 5;
    std::vector<qsizetype> offsets;
    for (qsizetype at = 0; at < size; at += at < kEveryByteUpTo ? 1 : kStride) {
        offsets.push_back(at);
    }
    return offsets;
}

TEST_P(BadInputDamaged, NeverCrashesNorLies) {
    const QByteArray valid = GetParam().bytes();
    ASSERT_FALSE(valid.isEmpty());
    TempTree tree;
    ImageProcessor processor;
    int written = 0;
    // A new name each time: rewriting one file in place makes the file system flush it.
    LoadError error;
    const auto load = [&](const QByteArray& bytes) {
        return processor.LoadImage(tree.WriteFile(QString::number(++written), bytes), nullptr, {},
                                   &error);
    };
    BitmapPtr whole = load(valid);
    ASSERT_TRUE(IsUsable(whole.get()));
    EXPECT_TRUE(error.truncated.isEmpty());
    const QSize size = whole->Image().size();
    const qsizetype wholeFrom = GetParam().wholeFrom;

    for (const qsizetype length : Offsets(valid.size())) {
        SCOPED_TRACE(testing::Message() << "truncated to " << length);
        BitmapPtr bitmap = load(valid.left(length));
        ASSERT_NE(bitmap, nullptr);
        const bool usable = IsUsable(bitmap.get());
        if (length < 8) {
            EXPECT_FALSE(usable);  // not even a signature
        }
        if (usable) {
            EXPECT_EQ(bitmap->Image().size(), size);  // the header survived whole
            if (wholeFrom >= 0) {
                EXPECT_EQ(error.truncated.isEmpty(), length >= valid.size() - wholeFrom);
            }
        } else {
            EXPECT_TRUE(bitmap->Image().isNull());
        }
    }
    for (const qsizetype at : Offsets(valid.size())) {
        SCOPED_TRACE(testing::Message() << "byte flipped at " << at);
        QByteArray damaged = valid;
        damaged[at] = char(~damaged[at]);
        BitmapPtr bitmap = load(damaged);
        ASSERT_NE(bitmap, nullptr);
        if (!IsUsable(bitmap.get())) {
            EXPECT_TRUE(bitmap->Image().isNull());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, BadInputDamaged,
    ::testing::Values(DamageRow{"Png", [] { return QtEncoded(NoisyPicture(24, 16), "png"); }},
                      DamageRow{"Jpeg", [] { return QtEncoded(NoisyPicture(24, 16), "jpeg"); }, 0},
                      DamageRow{"ProgressiveJpeg",
                                [] { return ProgressiveJpeg(NoisyPicture(24, 16)); }, 0},
                      DamageRow{"Bmp", [] { return QtEncoded(NoisyPicture(24, 16), "bmp"); }, 0},
                      DamageRow{"Tiff", [] { return QtEncoded(NoisyPicture(24, 16), "tiff"); }},
                      DamageRow{"TinyGif", [] { return test::kTwoFrameGif; }},
                      // Only the trailer may go: the picture ends before it.
                      DamageRow{"Gif", [] { return OurGif(NoisyPicture(24, 16)); }, 1}),
    test::kRowName);

}  // namespace
}  // namespace corvane
