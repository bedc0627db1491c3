// JPEGs decoded a few rows at a time: made into a PNG band by band, or turned by a quarter as
// they are decoded. Either must give exactly what loading the picture whole through Qt's reader
// and then encoding or turning it gives, for every kind of JPEG these paths take; the others are
// left to the ordinary path, and a damaged file fails as the loader fails.

#include "imaging/image_processor.h"
#include "platform/work_pool.h"
#include "support/metadata_samples.h"
#include "support/output_formats.h"
#include "support/temp_tree.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <QColorSpace>
#include <QFile>

#include <cstdio>
#include <ostream>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace corvane {
namespace {

using test::TempTree;
using Streamed = ImageProcessor::Streamed;

// How a test JPEG is written by libjpeg.
struct JpegKind {
    const char* name;
    QSize size;
    int components = 3;  // 1 grey, 3 YCbCr, 4 CMYK
    int hSampling = 2;   // of the luma against the chroma
    int vSampling = 2;
    bool progressive = false;
    int restartRows = 0;
    int densityUnit = 0;  // 0 none, 1 per inch, 2 per cm
    bool iccProfile = false;
    const char* comment = nullptr;
    int xDensity = 300;
    bool noisy = false;  // a file far larger than the 64 KiB the decoder reads at once
};

void PrintTo(const JpegKind& kind, std::ostream* out) {
    *out << kind.name;
}

// A picture with detail everywhere, so that each band deflates differently.
std::vector<JSAMPLE> Samples(const JpegKind& kind) {
    const int w = kind.size.width();
    const int h = kind.size.height();
    std::vector<JSAMPLE> samples(static_cast<std::size_t>(w) * h * kind.components);
    std::size_t i = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < kind.components; ++c) {
                const int noise = kind.noisy ? static_cast<int>((i * 2654435761u) >> 27) : 0;
                samples[i++] =
                    static_cast<JSAMPLE>((x * (c + 1) + y * (3 - c) + (x ^ y) % 17 + noise) & 255);
            }
        }
    }
    return samples;
}

QByteArray CompressJpeg(const JpegKind& kind) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&info, &out, &outSize);
    info.image_width = static_cast<JDIMENSION>(kind.size.width());
    info.image_height = static_cast<JDIMENSION>(kind.size.height());
    info.input_components = kind.components;
    info.in_color_space =
        kind.components == 1 ? JCS_GRAYSCALE : (kind.components == 4 ? JCS_CMYK : JCS_RGB);
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    if (kind.components == 3) {
        info.comp_info[0].h_samp_factor = kind.hSampling;
        info.comp_info[0].v_samp_factor = kind.vSampling;
    }
    if (kind.progressive) {
        jpeg_simple_progression(&info);
    }
    info.restart_in_rows = kind.restartRows;
    info.density_unit = static_cast<UINT8>(kind.densityUnit);
    info.X_density = static_cast<UINT16>(kind.xDensity);
    info.Y_density = 150;
    jpeg_start_compress(&info, TRUE);
    if (kind.iccProfile) {
        const QByteArray icc = QColorSpace(QColorSpace::DisplayP3).iccProfile();
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(icc.constData()),
                               static_cast<unsigned>(icc.size()));
    }
    if (kind.comment != nullptr) {
        jpeg_write_marker(&info, JPEG_COM, reinterpret_cast<const JOCTET*>(kind.comment),
                          static_cast<unsigned>(qstrlen(kind.comment)));
    }
    std::vector<JSAMPLE> samples = Samples(kind);
    const std::size_t stride = static_cast<std::size_t>(kind.size.width()) * kind.components;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = samples.data() + info.next_scanline * stride;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(out), static_cast<qsizetype>(outSize));
    std::free(out);
    return bytes;
}

// A progressive JPEG whose Huffman table before the second scan has a length it cannot have:
// libjpeg gives up on it while decoding.
QByteArray DamagedProgressiveJpeg() {
    QByteArray bytes = CompressJpeg({.name = "bad", .size = {200, 200}, .progressive = true});
    const qsizetype table = bytes.indexOf("\xFF\xC4", bytes.indexOf("\xFF\xDA"));
    EXPECT_GT(table, 0);
    bytes[table + 2] = 0;
    bytes[table + 3] = 3;
    return bytes;
}

// `jpeg` with a JFIF segment stating 72 x 96 dots per inch put in before the marker found at
// `at`: a resolution restated among the image data, which libjpeg takes as it reads on.
QByteArray WithJfifBefore(QByteArray jpeg, qsizetype at) {
    const QByteArray jfif("\xFF\xE0\x00\x10JFIF\x00\x01\x01\x01\x00\x48\x00\x60\x00\x00", 18);
    EXPECT_GT(at, 0);
    return jpeg.insert(at, jfif);
}

QString Write(const TempTree& tree, const QString& name, const QByteArray& bytes) {
    const QString path = tree.Path(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

const OutputFormat& Png() {
    static const OutputFormat png = test::FormatOfKind(FormatKind::Png);
    return png;
}

// A plan that asks for `least` (invalid: the whole picture).
ImageProcessor::PlanFor Asking(QSize least) {
    return [least](const ImageProcessor::Declared&) {
        return ImageProcessor::DecodePlan{least, {}};
    };
}

// The PNG of loading the file whole (or shrunk on load to `least`, then resized to it) and
// encoding it, as a run does without streaming.
QByteArray LoadedAndEncoded(const QString& path, bool stripMetadata, QSize least = {}) {
    const ImageProcessor processor;
    BitmapPtr image = processor.LoadImage(path, nullptr, Asking(least));
    EXPECT_TRUE(IsUsable(image.get()));
    if (least.isValid()) {
        processor.ResampleTo(image, least.width(), least.height());
    }
    if (stripMetadata) {
        image->SetMetadata(nullptr);
    }
    EncodedFile encoded;
    EXPECT_TRUE(processor.EncodeImage(image, Png(), nullptr, &encoded));
    return encoded.bytes;
}

QByteArray StreamedBytes(const QString& path, bool stripMetadata, WorkPool* pool = nullptr,
                         QSize least = {}) {
    EncodedFile encoded;
    LoadError error;
    EXPECT_EQ(ImageProcessor().StreamJpegToPng(path, stripMetadata, &encoded, &error, pool,
                                               Asking(least), least.isValid()),
              Streamed::Converted);
    EXPECT_EQ(error.kind, LoadError::Kind::None);
    return encoded.bytes;
}

// Kinds both row-by-row paths are checked on.
const JpegKind kProgressive444{.name = "progressive_444",
                               .size = {301, 257},
                               .hSampling = 1,
                               .vSampling = 1,
                               .progressive = true};
const JpegKind kOnePixel{.name = "one_pixel", .size = {1, 1}};
const JpegKind kProfileAndComment{.name = "dpi_profile_comment",
                                  .size = {120, 80},
                                  .densityUnit = 1,
                                  .iccProfile = true,
                                  .comment = "A quiet morning by the water"};
// Qt keeps a new image's resolution where the file states 0.
const JpegKind kZeroResolution{
    .name = "dpi_zero_across", .size = {40, 30}, .densityUnit = 1, .xDensity = 0};

class JpegToPng : public ::testing::TestWithParam<JpegKind> {};

TEST_P(JpegToPng, SameBytesAsLoadingWholeAndEncoding) {
    TempTree tree;
    const QString path = Write(tree, QStringLiteral("p.jpg"), CompressJpeg(GetParam()));
    WorkPool pool(2);
    for (const bool strip : {false, true}) {
        const QByteArray whole = LoadedAndEncoded(path, strip);
        ASSERT_FALSE(whole.isEmpty());
        EXPECT_EQ(StreamedBytes(path, strip), whole) << "strip " << strip;
        EXPECT_EQ(StreamedBytes(path, strip, &pool), whole) << "strip " << strip << ", pool";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, JpegToPng,
    ::testing::Values(
        // 999-byte rows: 262 rows to a band, so the last band is a short one.
        JpegKind{.name = "baseline_420_three_bands", .size = {333, 700}}, kProgressive444,
        JpegKind{
            .name = "baseline_422_restarts", .size = {640, 97}, .vSampling = 1, .restartRows = 2},
        JpegKind{.name = "grey", .size = {517, 300}, .components = 1},
        JpegKind{
            .name = "grey_progressive", .size = {64, 1100}, .components = 1, .progressive = true},
        kOnePixel, kProfileAndComment,
        JpegKind{.name = "dpcm_keyed_comment",
                 .size = {120, 80},
                 .progressive = true,
                 .densityUnit = 2,
                 .comment = "Title: Harbour"},
        kZeroResolution,
        JpegKind{.name = "noisy_progressive_many_windows",
                 .size = {700, 500},
                 .progressive = true,
                 .noisy = true},
        JpegKind{.name = "noisy_baseline_many_windows", .size = {700, 500}, .noisy = true}),
    test::kRowName);

// A resized run's file shrunk while it is decoded, by 1/2, 1/4 or 1/8: the rows are those of
// Qt's reader asked for that size.
struct ShrunkRow {
    const char* name;
    JpegKind kind;
    int denominator;
};

class JpegToPngShrunk : public ::testing::TestWithParam<ShrunkRow> {};

TEST_P(JpegToPngShrunk, SameBytesAsLoadingShrunkAndEncoding) {
    TempTree tree;
    const ShrunkRow& row = GetParam();
    const QString path = Write(tree, QStringLiteral("s.jpg"), CompressJpeg(row.kind));
    const QSize least = row.kind.size / row.denominator;
    WorkPool pool(2);
    const QByteArray loaded = LoadedAndEncoded(path, false, least);
    ASSERT_FALSE(loaded.isEmpty());
    EXPECT_EQ(StreamedBytes(path, false, &pool, least), loaded);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, JpegToPngShrunk,
    ::testing::Values(
        ShrunkRow{"progressive_half", {.name = "p", .size = {640, 480}, .progressive = true}, 2},
        ShrunkRow{"baseline_422_quarter",
                  {.name = "b", .size = {640, 480}, .vSampling = 1, .densityUnit = 1},
                  4},
        ShrunkRow{"grey_eighth", {.name = "g", .size = {512, 256}, .components = 1}, 8},
        ShrunkRow{"noisy_progressive_half",
                  {.name = "n", .size = {700, 500}, .progressive = true, .noisy = true},
                  2}),
    test::kRowName);

// Any other size is the loader's to make: the decoder would round it, or not shrink at all.
TEST(JpegToPngShrunk, OtherSizesAreLeftToTheLoader) {
    TempTree tree;
    const QString path =
        Write(tree, QStringLiteral("o.jpg"), CompressJpeg({.name = "o", .size = {333, 700}}));
    for (const QSize least : {QSize(166, 350), QSize(333, 700), QSize(250, 525), QSize()}) {
        EncodedFile encoded;
        LoadError error;
        EXPECT_EQ(ImageProcessor().StreamJpegToPng(path, false, &encoded, &error, nullptr,
                                                   Asking(least), true),
                  Streamed::NotStreamed)
            << least.width() << "x" << least.height();
        EXPECT_EQ(error.kind, LoadError::Kind::None);
    }
}

TEST(JpegToPngMetadata, CarriedAsTheLoaderCarriesIt) {
    TempTree tree;
    QImage picture(160, 120, QImage::Format_RGB32);
    picture.fill(qRgb(40, 90, 160));
    const QString path = Write(tree, QStringLiteral("m.jpg"),
                               test::SampleWithMetadata(picture, "jpeg", 1, picture.size()));
    const QByteArray whole = LoadedAndEncoded(path, false);
    EXPECT_EQ(StreamedBytes(path, false), whole);
    EXPECT_EQ(test::TagValue(test::Exiv2Tags(whole), "Comment"), test::kSampleComment);
}

TEST(JpegToPngTruncated, MissingRowsGreyAsFromTheLoader) {
    TempTree tree;
    for (const bool progressive : {false, true}) {
        // Cut beyond the first of the decoder's 64 KiB windows.
        JpegKind kind{"cut", {700, 500}};
        kind.progressive = progressive;
        kind.noisy = true;
        const QByteArray bytes = CompressJpeg(kind);
        ASSERT_GT(bytes.size(), 3 * 64 * 1024);
        const QString path = Write(tree, QStringLiteral("t.jpg"), bytes.left(bytes.size() / 2));
        EXPECT_EQ(StreamedBytes(path, true), LoadedAndEncoded(path, true)) << progressive;
    }
}

TEST(JpegToPngLeftToTheLoader, OtherFormatsCmykTurnedAndMissingFiles) {
    TempTree tree;
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QString png = tree.Path(QStringLiteral("p.png"));
    ASSERT_TRUE(picture.save(png));
    const QString cmyk = Write(tree, QStringLiteral("c.jpg"),
                               CompressJpeg({.name = "cmyk", .size = {40, 30}, .components = 4}));
    const QString turned = Write(tree, QStringLiteral("r.jpg"),
                                 test::SampleWithMetadata(picture, "jpeg", 6, picture.size()));
    const QString header = Write(tree, QStringLiteral("h.jpg"), QByteArray("\xFF\xD8\xFF\xE0", 4));
    for (const QString& path : {png, cmyk, turned, header, tree.Path(QStringLiteral("none.jpg"))}) {
        EncodedFile encoded;
        LoadError error;
        EXPECT_EQ(ImageProcessor().StreamJpegToPng(path, false, &encoded, &error),
                  Streamed::NotStreamed)
            << path.toStdString();
        EXPECT_TRUE(encoded.bytes.isEmpty());
    }
}

TEST(JpegToPngDamaged, FailsAsCorruptLikeTheLoader) {
    TempTree tree;
    const QString path = Write(tree, QStringLiteral("d.jpg"), DamagedProgressiveJpeg());

    LoadError loaded;
    EXPECT_FALSE(IsUsable(ImageProcessor().LoadImage(path, nullptr, {}, &loaded).get()));
    EXPECT_EQ(loaded.kind, LoadError::Kind::Corrupt);
    EncodedFile encoded;
    LoadError streamed;
    EXPECT_EQ(ImageProcessor().StreamJpegToPng(path, false, &encoded, &streamed), Streamed::Failed);
    EXPECT_EQ(streamed.kind, LoadError::Kind::Corrupt);
    EXPECT_TRUE(streamed.text.startsWith(QStringLiteral("damaged or truncated: ")));
    EXPECT_TRUE(encoded.bytes.isEmpty());
}

// The picture of loading whole, then turning by `turn`.
BitmapPtr LoadedThenTurned(const QString& path, int turn) {
    const ImageProcessor processor;
    BitmapPtr image = processor.LoadImage(path);
    processor.RotateQuarter(image, image.get(), turn);
    return image;
}

void ExpectSamePicture(const Bitmap& actual, const Bitmap& expected) {
    const QImage& a = actual.Image();
    const QImage& e = expected.Image();
    EXPECT_EQ(a.format(), e.format());
    EXPECT_EQ(a.size(), e.size());
    EXPECT_TRUE(a == e) << "pixels differ";
    EXPECT_EQ(a.colorSpace(), e.colorSpace());
    EXPECT_EQ(a.dotsPerMeterX(), e.dotsPerMeterX());
    EXPECT_EQ(a.dotsPerMeterY(), e.dotsPerMeterY());
    EXPECT_EQ(a.textKeys(), e.textKeys());
    for (const QString& key : e.textKeys()) {
        EXPECT_EQ(a.text(key), e.text(key)) << key.toStdString();
    }
    EXPECT_EQ(actual.Metadata() != nullptr, expected.Metadata() != nullptr);
}

class JpegTurnedOnLoad : public ::testing::TestWithParam<JpegKind> {};

TEST_P(JpegTurnedOnLoad, SamePictureAsLoadingWholeAndTurning) {
    TempTree tree;
    const QString path = Write(tree, QStringLiteral("p.jpg"), CompressJpeg(GetParam()));
    for (const int turn : {90, 180, 270}) {
        bool turned = false;
        const BitmapPtr image =
            ImageProcessor().LoadImage(path, nullptr, {}, nullptr, turn, &turned);
        ASSERT_TRUE(IsUsable(image.get()));
        EXPECT_TRUE(turned);
        ExpectSamePicture(*image, *LoadedThenTurned(path, turn));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, JpegTurnedOnLoad,
    ::testing::Values(JpegKind{.name = "baseline_420_odd_size", .size = {333, 71}}, kProgressive444,
                      JpegKind{.name = "grey", .size = {517, 33}, .components = 1}, kOnePixel,
                      kProfileAndComment, kZeroResolution),
    test::kRowName);

TEST(JpegTurnedOnLoad, OtherPicturesAreLoadedAsTheyAre) {
    TempTree tree;
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    const QString png = tree.Path(QStringLiteral("p.png"));
    ASSERT_TRUE(picture.save(png));
    const QString cmyk = Write(tree, QStringLiteral("c.jpg"),
                               CompressJpeg({.name = "cmyk", .size = {40, 30}, .components = 4}));
    // Turned upright by its EXIF orientation first, then by the turn asked for, as before.
    const QString oriented = Write(tree, QStringLiteral("r.jpg"),
                                   test::SampleWithMetadata(picture, "jpeg", 6, picture.size()));
    for (const QString& path : {png, cmyk, oriented}) {
        bool turned = true;
        const BitmapPtr image = ImageProcessor().LoadImage(path, nullptr, {}, nullptr, 90, &turned);
        EXPECT_FALSE(turned) << path.toStdString();
        ExpectSamePicture(*image, *ImageProcessor().LoadImage(path));
    }
}

TEST(JpegTurnedOnLoad, DamagedFileIsCorrupt) {
    TempTree tree;
    const QString path = Write(tree, QStringLiteral("d.jpg"), DamagedProgressiveJpeg());

    LoadError error;
    EXPECT_FALSE(IsUsable(ImageProcessor().LoadImage(path, nullptr, {}, &error, 90).get()));
    EXPECT_EQ(error.kind, LoadError::Kind::Corrupt);
    EXPECT_TRUE(error.text.startsWith(QStringLiteral("damaged or truncated: ")));
}

TEST(JpegToPngRestated, ResolutionStatedAgainAmongTheImageDataAsTheLoaderSeesIt) {
    TempTree tree;
    const QByteArray progressive =
        CompressJpeg({.name = "p", .size = {64, 48}, .progressive = true, .densityUnit = 1});
    const QByteArray baseline = CompressJpeg({.name = "b", .size = {64, 48}, .densityUnit = 1});
    // Between two scans; and after the only scan, read when decoding ends.
    const QString between = Write(tree, QStringLiteral("between.jpg"),
                                  WithJfifBefore(progressive, progressive.lastIndexOf("\xFF\xDA")));
    const QString after =
        Write(tree, QStringLiteral("after.jpg"), WithJfifBefore(baseline, baseline.size() - 2));
    for (const QString& path : {between, after}) {
        EncodedFile encoded;
        LoadError error;
        const Streamed outcome = ImageProcessor().StreamJpegToPng(path, true, &encoded, &error);
        EXPECT_NE(outcome, Streamed::Failed);
        if (outcome == Streamed::Converted) {
            EXPECT_EQ(encoded.bytes, LoadedAndEncoded(path, true)) << path.toStdString();
        }
        bool turned = false;
        const BitmapPtr image = ImageProcessor().LoadImage(path, nullptr, {}, nullptr, 90, &turned);
        EXPECT_TRUE(turned);
        ExpectSamePicture(*image, *LoadedThenTurned(path, 90));
        EXPECT_EQ(image->Image().dotsPerMeterX(), 2834) << path.toStdString();  // 72 per inch
    }
}

}  // namespace
}  // namespace corvane
