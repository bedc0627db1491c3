// Today's formats (HEIC/HEIF, AVIF, WebP, JPEG XL): read as their reference decoders read them,
// turned once as the container says, reduced to 8 bits, with their colour profile and metadata;
// WebP and AVIF written so that the reference decoders and Qt read them back; damaged and
// hostile files refused as that file's failure. The files are made by the reference encoders
// from pictures drawn here.

#include "imaging/image_processor.h"
#include "imaging/raster_codec.h"
#include "support/image_difference.h"
#include "support/metadata_samples.h"
#include "support/output_formats.h"
#include "support/temp_tree.h"
#include "support/test_names.h"
#include "support/today_samples.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QtEndian>

#include <functional>

namespace corvane {
namespace {

using test::DecodeWithTool;
using test::EncodeWithTool;
using test::MissingTool;
using test::ToolsOf;

class TodayFormatsTest : public ::testing::Test {
protected:
    QString SavePng(const QImage& image, const QString& name) {
        const QString path = tree_.Path(name);
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }
    BitmapPtr Load(const QString& path, RawFormat* raw = nullptr, LoadError* error = nullptr) {
        return processor_.LoadImage(path, raw, {}, error);
    }

    test::TempTree tree_;
    ImageProcessor processor_;
};

// --- decoding as the reference decoders do ------------------------------------------------------

struct DecodeRow {
    const char* name;
    const char* format;
    QStringList encoderArguments;
    bool alpha;
    RawFormat raw;
    int maxDifference;  // the two decoders convert YCbCr to RGB each its own way
};

class TodayDecodeLikeReference : public TodayFormatsTest,
                                 public ::testing::WithParamInterface<DecodeRow> {};

TEST_P(TodayDecodeLikeReference, PixelsMatchTheReferenceDecoder) {
    const DecodeRow& row = GetParam();
    if (const QString missing = MissingTool(ToolsOf(row.format)); !missing.isEmpty()) {
        GTEST_SKIP() << qPrintable(missing);
    }
    const QString source = SavePng(test::PhotoLike(160, 96, row.alpha), "source.png");
    const QString file = tree_.Path(QStringLiteral("picture.") + row.format);
    ASSERT_TRUE(EncodeWithTool(row.format, source, file, row.encoderArguments));
    const QImage reference = DecodeWithTool(row.format, file, tree_.Root());
    ASSERT_FALSE(reference.isNull());

    RawFormat raw = RawFormat::Undefined;
    LoadError error;
    const BitmapPtr loaded = Load(file, &raw, &error);
    ASSERT_TRUE(IsUsable(loaded.get())) << qPrintable(error.text);
    EXPECT_EQ(raw, row.raw);
    EXPECT_EQ(loaded->Image().hasAlphaChannel(), row.alpha);
    const test::ImageDifference difference = test::CompareImages(loaded->Image(), reference);
    EXPECT_LE(difference.max, row.maxDifference);
    EXPECT_LT(difference.mean, 0.5);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TodayDecodeLikeReference,
    ::testing::Values(
        DecodeRow{"Heic", "heic", {}, false, RawFormat::Heif, 3},
        DecodeRow{"HeicAlpha", "heic", {}, true, RawFormat::Heif, 3},
        DecodeRow{"Avif", "avif", {}, false, RawFormat::Avif, 3},
        DecodeRow{"AvifAlpha", "avif", {}, true, RawFormat::Avif, 3},
        DecodeRow{"AvifTenBit", "avif", {"-d", "10"}, false, RawFormat::Avif, 2},
        DecodeRow{"AvifTwelveBit", "avif", {"-d", "12"}, false, RawFormat::Avif, 2},
        DecodeRow{"AvifGrid", "avif", {"-g", "2x1"}, false, RawFormat::Avif, 3},
        DecodeRow{"AvifFourFourFour", "avif", {"-y", "444"}, false, RawFormat::Avif, 3},
        DecodeRow{"WebpLossy", "webp", {}, false, RawFormat::Webp, 0},
        DecodeRow{"WebpLosslessAlpha", "webp", {"-lossless"}, true, RawFormat::WebpLossless, 0},
        DecodeRow{"JxlLossy", "jxl", {"-d", "1"}, false, RawFormat::Jxl, 1},
        DecodeRow{"JxlLosslessAlpha", "jxl", {"-d", "0"}, true, RawFormat::Jxl, 0}),
    test::kRowName);

// A grid HEIC, as phones write them: tiles put together whole, the padding of the edge tiles
// cropped. The file is laid out by bench/heic_grid.py from tiles heif-enc encodes.
TEST_F(TodayFormatsTest, GridHeicComesOutWhole) {
    if (const QString missing = MissingTool({"heif-enc", "heif-convert", "python3"});
        !missing.isEmpty()) {
        GTEST_SKIP() << qPrintable(missing);
    }
    const QImage picture = test::PhotoLike(150, 100);
    constexpr int kTile = 64;
    QStringList arguments = {QStringLiteral(CORVANE_SOURCE_DIR "/bench/heic_grid.py"),
                             tree_.Path("grid.heic"),
                             "150",
                             "100",
                             "3",
                             "--quality",
                             "90"};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            QImage tile(kTile, kTile, QImage::Format_RGB32);
            tile.fill(Qt::black);
            for (int row = 0; row < kTile && y * kTile + row < picture.height(); ++row) {
                for (int column = 0; column < kTile && x * kTile + column < picture.width();
                     ++column) {
                    tile.setPixel(column, row, picture.pixel(x * kTile + column, y * kTile + row));
                }
            }
            arguments << SavePng(tile, QStringLiteral("tile%1%2.png").arg(y).arg(x));
        }
    }
    QString output;
    ASSERT_TRUE(test::RunTool("python3", arguments, &output)) << qPrintable(output);
    const BitmapPtr loaded = Load(tree_.Path("grid.heic"));
    ASSERT_TRUE(IsUsable(loaded.get()));
    EXPECT_EQ(loaded->Image().size(), picture.size());
    EXPECT_LE(test::CompareImages(loaded->Image(),
                                  DecodeWithTool("heic", tree_.Path("grid.heic"), tree_.Root()))
                  .max,
              3);
    EXPECT_LE(test::CompareImages(loaded->Image(), picture).mean, 3.0);
}

// --- turned once, as the container says ----------------------------------------------------------

// The picture a viewer shows for an AVIF/HEIF whose irot turns it `quarters` times
// anti-clockwise, then imir mirrors it (`mirror` -1: none, 0: top to bottom, 1: left to right),
// in the order the format requires them to be written and applied.
QImage AsShown(const QImage& stored, int quarters, int mirror) {
    const QImage image = stored.transformed(QTransform().rotate(-90.0 * quarters));
    return mirror < 0 ? image : image.mirrored(mirror == 1, mirror == 0);
}

struct OrientationRow {
    const char* name;
    int quarters;
    int mirror;
};

class TodayContainerOrientation : public TodayFormatsTest,
                                  public ::testing::WithParamInterface<OrientationRow> {};

// All eight combinations of turn and mirror; the file's EXIF says 6 (a quarter turn) as well,
// which must not turn it a second time, and the kept metadata says 1.
TEST_P(TodayContainerOrientation, TurnedOnceAsTheContainerSays) {
    const OrientationRow& row = GetParam();
    if (const QString missing = MissingTool({"avifenc"}); !missing.isEmpty()) {
        GTEST_SKIP() << qPrintable(missing);
    }
    const QImage stored = test::PhotoLike(96, 64);
    const QString jpeg =
        tree_.WriteFile("source.jpg", test::SampleWithMetadata(stored, "jpeg", 6, stored.size()));
    QStringList arguments = {"--irot", QString::number(row.quarters)};
    if (row.mirror >= 0) {
        arguments << "--imir" << QString::number(row.mirror);
    }
    const QString file = tree_.Path("turned.avif");
    ASSERT_TRUE(EncodeWithTool("avif", jpeg, file, arguments));

    BitmapPtr loaded = Load(file);
    ASSERT_TRUE(IsUsable(loaded.get()));
    const QImage expected = AsShown(QImage(jpeg), row.quarters, row.mirror);
    EXPECT_LE(test::CompareImages(loaded->Image(), expected).mean, 3.0);

    ASSERT_TRUE(
        processor_.SaveImage(loaded, tree_.Path("out.jpg"), test::FormatOfKind(FormatKind::Jpeg)));
    const auto tags = test::Exiv2Tags(test::ReadAll(tree_.Path("out.jpg")));
    EXPECT_EQ(test::TagValue(tags, "Exif.Image.Orientation"), "1");
}

INSTANTIATE_TEST_SUITE_P(Rows, TodayContainerOrientation,
                         ::testing::Values(OrientationRow{"None", 0, -1},
                                           OrientationRow{"Quarter", 1, -1},
                                           OrientationRow{"Half", 2, -1},
                                           OrientationRow{"ThreeQuarters", 3, -1},
                                           OrientationRow{"MirrorTopBottom", 0, 0},
                                           OrientationRow{"MirrorLeftRight", 0, 1},
                                           OrientationRow{"QuarterThenMirror", 1, 0},
                                           OrientationRow{"ThreeQuartersThenMirror", 3, 0}),
                         test::kRowName);

// A WebP has no orientation of its own: its EXIF orientation turns it, as it does any file.
TEST_F(TodayFormatsTest, WebpTurnsAsItsExifSays) {
    if (const QString missing = MissingTool({"cwebp"}); !missing.isEmpty()) {
        GTEST_SKIP() << qPrintable(missing);
    }
    const QImage stored = test::PhotoLike(96, 64);
    const QString jpeg =
        tree_.WriteFile("source.jpg", test::SampleWithMetadata(stored, "jpeg", 6, stored.size()));
    ASSERT_TRUE(EncodeWithTool("webp", jpeg, tree_.Path("turned.webp")));
    const BitmapPtr loaded = Load(tree_.Path("turned.webp"));
    ASSERT_TRUE(IsUsable(loaded.get()));
    const QImage expected = QImage(jpeg).transformed(QTransform().rotate(90));
    EXPECT_LE(test::CompareImages(loaded->Image(), expected).mean, 3.0);
}

// --- metadata and colour ------------------------------------------------------------------------

class TodayMetadataTravels : public TodayFormatsTest,
                             public ::testing::WithParamInterface<const char*> {};

// EXIF and XMP read from the container reach a JPEG output exactly as they do from the JPEG the
// file was made from; from a JPEG XL recompressed from it, its IPTC and comment too.
TEST_P(TodayMetadataTravels, AsFromTheJpegItWasMadeFrom) {
    const QString format = GetParam();
    if (const QString missing = MissingTool(ToolsOf(format)); !missing.isEmpty()) {
        GTEST_SKIP() << qPrintable(missing);
    }
    const QImage picture = test::PhotoLike(64, 48);
    const QString jpeg =
        tree_.WriteFile("source.jpg", test::SampleWithMetadata(picture, "jpeg", 1, picture.size()));
    const QString file = tree_.Path("picture." + format);
    ASSERT_TRUE(EncodeWithTool(format, jpeg, file));

    const auto outputTags = [&](const QString& source, const QString& name) {
        LoadError error;
        BitmapPtr loaded = Load(source, nullptr, &error);
        EXPECT_TRUE(error.metadataProblem.isEmpty()) << qPrintable(error.metadataProblem);
        EXPECT_TRUE(
            processor_.SaveImage(loaded, tree_.Path(name), test::FormatOfKind(FormatKind::Jpeg)));
        auto tags = test::Exiv2Tags(test::ReadAll(tree_.Path(name)));
        // HEIF and WebP have no place for IPTC or a comment.
        if (format != QLatin1String("jxl")) {
            std::erase_if(tags, [](const auto& tag) {
                return tag.first.rfind("Iptc.", 0) == 0 || tag.first == "Comment";
            });
        }
        return tags;
    };
    const auto fromJpeg = outputTags(jpeg, "from-jpeg.jpg");
    const auto fromToday = outputTags(file, "from-today.jpg");
    EXPECT_TRUE(fromJpeg.count("Exif.Image.Make") == 1);
    EXPECT_EQ(fromToday, fromJpeg);
    if (format == QLatin1String("jxl")) {
        EXPECT_EQ(test::TagValue(fromToday, "Comment"), test::kSampleComment);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, TodayMetadataTravels,
                         ::testing::Values("heic", "avif", "webp", "jxl"),
                         [](const ::testing::TestParamInfo<const char*>& row) {
                             return std::string(row.param);
                         });

// An ICC profile stated by the file is the loaded picture's colour space.
TEST_F(TodayFormatsTest, ColourProfileIsKept) {
    for (const char* format : {"heic", "avif", "webp", "jxl"}) {
        if (!MissingTool(ToolsOf(format)).isEmpty()) {
            GTEST_SKIP() << qPrintable(MissingTool(ToolsOf(format)));
        }
        QImage picture = test::PhotoLike(64, 48);
        picture.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
        const QString source = SavePng(picture, "p3.png");
        const QString file = tree_.Path(QStringLiteral("p3.") + format);
        ASSERT_TRUE(EncodeWithTool(format, source, file)) << format;
        const BitmapPtr loaded = Load(file);
        ASSERT_TRUE(IsUsable(loaded.get())) << format;
        EXPECT_EQ(loaded->Image().colorSpace().primaries(), QColorSpace::Primaries::DciP3D65)
            << format;
    }
}

// A PQ picture is mapped to SDR, says so, and keeps its BT.2020 primaries with the sRGB curve.
TEST_F(TodayFormatsTest, HdrPictureIsMappedToSdrWithANote) {
    if (const QString missing = MissingTool({"avifenc"}); !missing.isEmpty()) {
        GTEST_SKIP() << qPrintable(missing);
    }
    QImage picture = test::PhotoLike(64, 48).convertToFormat(QImage::Format_RGBX64);
    const QString source = SavePng(picture, "deep.png");
    const QString file = tree_.Path("pq.avif");
    ASSERT_TRUE(EncodeWithTool("avif", source, file, {"-d", "10", "--cicp", "9/16/9"}));
    LoadError error;
    const BitmapPtr loaded = Load(file, nullptr, &error);
    ASSERT_TRUE(IsUsable(loaded.get()));
    EXPECT_EQ(error.toneMapped, QStringLiteral("an HDR picture (PQ) was mapped to SDR"));
    const QColorSpace space = loaded->Image().colorSpace();
    EXPECT_EQ(space.transferFunction(), QColorSpace::TransferFunction::SRgb);
    EXPECT_NE(space.primaries(), QColorSpace::Primaries::SRgb);
    // PQ code 0.58 is about 203 cd/m², reference white: white stays near white, never clips to
    // black.
    EXPECT_GT(qGray(loaded->Image().pixel(picture.width() / 3 + 4, picture.height() / 3 + 4)), 60);
}

// An animation gives its first frame, as GIF does.
TEST_F(TodayFormatsTest, AnimatedWebpGivesItsFirstFrame) {
    if (const QString missing = MissingTool({"img2webp"}); !missing.isEmpty()) {
        GTEST_SKIP() << qPrintable(missing);
    }
    const QImage first = test::PhotoLike(64, 48, false, 1);
    const QString one = SavePng(first, "one.png");
    const QString two = SavePng(test::PhotoLike(64, 48, false, 2).mirrored(), "two.png");
    const QString file = tree_.Path("animated.webp");
    ASSERT_TRUE(test::RunTool("img2webp", {"-lossless", one, two, "-o", file}));
    RawFormat raw = RawFormat::Undefined;
    const BitmapPtr loaded = Load(file, &raw);
    ASSERT_TRUE(IsUsable(loaded.get()));
    EXPECT_EQ(raw, RawFormat::Webp);
    EXPECT_EQ(test::CompareImages(loaded->Image(), first).max, 0);
}

// --- damaged and hostile files ------------------------------------------------------------------

// The first ispe box of a HEIF file made to declare `width` x `height`.
QByteArray WithForgedSize(QByteArray bytes, quint32 width, quint32 height) {
    const qsizetype at = bytes.indexOf("ispe");
    if (at < 0 || at + 16 > bytes.size()) {
        return {};
    }
    for (int i = 0; i < 4; ++i) {
        bytes[at + 8 + i] = char(width >> (24 - 8 * i));
        bytes[at + 12 + i] = char(height >> (24 - 8 * i));
    }
    return bytes;
}

// A HEIF file whose item list says it holds 65,535 items (a grid of as many tiles as the format
// allows): libheif would take minutes to parse as many.
QByteArray WithManyItems(QByteArray bytes) {
    const qsizetype at = bytes.indexOf("iinf");
    if (at < 0 || bytes[at + 4] != 0) {
        return {};
    }
    bytes[at + 8] = char(0xFF);
    bytes[at + 9] = char(0xFF);
    return bytes;
}

struct HostileRow {
    const char* name;
    const char* format;
    LoadError::Kind kind;
    std::function<QByteArray(const QByteArray&)> spoil;
};

class TodayHostileFile : public TodayFormatsTest,
                         public ::testing::WithParamInterface<HostileRow> {};

TEST_P(TodayHostileFile, IsThatFilesFailure) {
    const HostileRow& row = GetParam();
    if (const QString missing = MissingTool(ToolsOf(row.format)); !missing.isEmpty()) {
        GTEST_SKIP() << qPrintable(missing);
    }
    const QString source = SavePng(test::PhotoLike(128, 96), "source.png");
    const QString good = tree_.Path(QStringLiteral("good.") + row.format);
    ASSERT_TRUE(EncodeWithTool(row.format, source, good));
    const QByteArray spoiled = row.spoil(test::ReadAll(good));
    ASSERT_FALSE(spoiled.isEmpty());
    const QString file = tree_.WriteFile(QStringLiteral("bad.") + row.format, spoiled);
    LoadError error;
    const BitmapPtr loaded = Load(file, nullptr, &error);
    EXPECT_FALSE(IsUsable(loaded.get()));
    EXPECT_EQ(error.kind, row.kind) << qPrintable(error.text);
    EXPECT_FALSE(error.text.isEmpty());
}

QByteArray Half(const QByteArray& bytes) {
    return bytes.left(bytes.size() / 2);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TodayHostileFile,
    ::testing::Values(
        HostileRow{"HeicTruncated", "heic", LoadError::Kind::Corrupt, Half},
        HostileRow{"AvifTruncated", "avif", LoadError::Kind::Corrupt, Half},
        HostileRow{"WebpTruncated", "webp", LoadError::Kind::Corrupt, Half},
        HostileRow{"JxlTruncated", "jxl", LoadError::Kind::Corrupt, Half},
        HostileRow{"HeicForgedHuge", "heic", LoadError::Kind::TooLarge,
                   [](const QByteArray& b) { return WithForgedSize(b, 100000, 100000); }},
        HostileRow{"AvifForgedHuge", "avif", LoadError::Kind::TooLarge,
                   [](const QByteArray& b) { return WithForgedSize(b, 40000, 40000); }},
        HostileRow{"HeicManyTiles", "heic", LoadError::Kind::TooLarge, WithManyItems},
        HostileRow{"AvifForgedWrongSize", "avif", LoadError::Kind::Corrupt,
                   [](const QByteArray& b) { return WithForgedSize(b, 4000, 3000); }}),
    test::kRowName);

// A JPEG XL recompressed from a JPEG whose reconstruction box is damaged: the picture and its
// Exif box are still read, and the file says the rest of that JPEG's metadata could not be.
TEST_F(TodayFormatsTest, DamagedJpegReconstructionIsAMetadataProblem) {
    if (const QString missing = MissingTool({"cjxl"}); !missing.isEmpty()) {
        GTEST_SKIP() << qPrintable(missing);
    }
    const QImage picture = test::PhotoLike(64, 48);
    const QString jpeg =
        tree_.WriteFile("source.jpg", test::SampleWithMetadata(picture, "jpeg", 1, picture.size()));
    ASSERT_TRUE(EncodeWithTool("jxl", jpeg, tree_.Path("good.jxl")));
    QByteArray bytes = test::ReadAll(tree_.Path("good.jxl"));
    const qsizetype at = bytes.indexOf("jbrd");
    ASSERT_GE(at, 4);
    const qsizetype size = qsizetype(qFromBigEndian<quint32>(bytes.constData() + at - 4));
    ASSERT_LE(at - 4 + size, bytes.size());
    bytes.replace(at + 4, size - 8, QByteArray(size - 8, char(0xFF)));
    LoadError error;
    BitmapPtr loaded = Load(tree_.WriteFile("damaged.jxl", bytes), nullptr, &error);
    ASSERT_TRUE(IsUsable(loaded.get())) << qPrintable(error.text);
    EXPECT_EQ(error.metadataProblem, QStringLiteral("the JPEG this file was made from cannot be "
                                                    "rebuilt: only its EXIF and XMP were read"));
    ASSERT_TRUE(
        processor_.SaveImage(loaded, tree_.Path("out.jpg"), test::FormatOfKind(FormatKind::Jpeg)));
    EXPECT_EQ(
        test::TagValue(test::Exiv2Tags(test::ReadAll(tree_.Path("out.jpg"))), "Exif.Image.Make"),
        test::SampleTags().front().exiv2Value);
}

// Files that once made a fault (found by fuzz/today_formats_fuzzer), named after it: each loads or
// is refused with a reason; the sanitizer builds see any leak or overrun.
TEST_F(TodayFormatsTest, RegressionFilesLoadOrAreRefused) {
    const QDir folder(QStringLiteral(CORVANE_TEST_DATA "/today_formats"));
    const QStringList files = folder.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        LoadError error;
        const BitmapPtr loaded = Load(folder.filePath(name), nullptr, &error);
        EXPECT_TRUE(IsUsable(loaded.get()) || !error.text.isEmpty()) << qPrintable(name);
    }
}

// --- writing WebP and AVIF ----------------------------------------------------------------------

struct OutputRow {
    const char* name;
    FormatKind kind;
    const char* format;
    bool lossless;
    int maxMean;  // mean difference to the source, lossy as the encoder's default quality is
};

class TodayWrittenOutput : public TodayFormatsTest,
                           public ::testing::WithParamInterface<OutputRow> {};

// Written with metadata and colour profile; the reference decoder and Qt read the file at its
// size with the source's pixels; the metadata comes back, but for the IPTC and the comment,
// which neither format has a place for: the problem says so, for the file's notes.
TEST_P(TodayWrittenOutput, OpensInTheReferenceDecoderWithItsMetadata) {
    const OutputRow& row = GetParam();
    if (const QString missing = MissingTool(ToolsOf(row.format)); !missing.isEmpty()) {
        GTEST_SKIP() << qPrintable(missing);
    }
    const QImage picture = test::PhotoLike(120, 80);
    const QString jpeg =
        tree_.WriteFile("source.jpg", test::SampleWithMetadata(picture, "jpeg", 1, picture.size()));
    BitmapPtr loaded = Load(jpeg);
    ASSERT_TRUE(IsUsable(loaded.get()));
    OutputFormat format = test::FormatOfKind(row.kind);
    format.lossless = row.lossless;
    const QString file = tree_.Path(QStringLiteral("out.") + row.format);
    QString metadataProblem;
    ASSERT_TRUE(processor_.SaveImage(loaded, file, format, nullptr, IfExists::Fail, nullptr,
                                     &metadataProblem));
    EXPECT_EQ(metadataProblem,
              QStringLiteral("the format has no place for them, left out: IPTC, comment"));

    const QImage reference = DecodeWithTool(row.format, file, tree_.Root());
    EXPECT_LE(test::CompareImages(reference, loaded->Image()).mean, row.maxMean);
    if (row.kind == FormatKind::Webp) {
        const QImage qt(file);
        EXPECT_EQ(qt.size(), picture.size());
        EXPECT_LE(test::CompareImages(qt, reference).max, 0);
    }
    RawFormat raw = RawFormat::Undefined;
    BitmapPtr back = Load(file, &raw);
    ASSERT_TRUE(IsUsable(back.get()));
    EXPECT_EQ(raw, row.lossless
                       ? RawFormat::WebpLossless
                       : (row.kind == FormatKind::Webp ? RawFormat::Webp : RawFormat::Avif));
    ASSERT_TRUE(
        processor_.SaveImage(back, tree_.Path("again.jpg"), test::FormatOfKind(FormatKind::Jpeg)));
    const auto tags = test::Exiv2Tags(test::ReadAll(tree_.Path("again.jpg")));
    for (const test::SampleTag& tag : test::SampleTags()) {
        if (std::string(tag.exiv2Key).rfind("Iptc.", 0) != 0) {
            EXPECT_EQ(test::TagValue(tags, tag.exiv2Key), tag.exiv2Value) << tag.exiv2Key;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TodayWrittenOutput,
    ::testing::Values(OutputRow{"WebpLossy", FormatKind::Webp, "webp", false, 3},
                      OutputRow{"WebpLossless", FormatKind::Webp, "webp", true, 0},
                      OutputRow{"Avif", FormatKind::Avif, "avif", false, 4}),
    test::kRowName);

// A picture with alpha keeps it in both; one whose every pixel is opaque is stored without.
TEST_F(TodayFormatsTest, AlphaIsKeptWhereThereIsAny) {
    for (const FormatKind kind : {FormatKind::Webp, FormatKind::Avif}) {
        for (const bool alpha : {false, true}) {
            const QImage picture =
                test::PhotoLike(64, 48, alpha).convertToFormat(QImage::Format_ARGB32);
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            ASSERT_TRUE(EncodeRaster(picture, kind, &buffer));
            const QString file = tree_.WriteFile("alpha.out", bytes);
            const BitmapPtr back = Load(file);
            ASSERT_TRUE(IsUsable(back.get()));
            EXPECT_EQ(back->Image().hasAlphaChannel(), alpha);
        }
    }
}

// Same-as-source keeps WebP and AVIF, WebP lossless when it was; HEIC and JPEG XL, which are
// not written, become JPEG and PNG under their own extensions.
TEST(TodayFormatsSameAsSource, ResolvesToAWrittenFormatUnderATrueExtension) {
    struct Row {
        RawFormat raw;
        const char* path;
        FormatKind kind;
        const char* extension;
        bool lossless;
    };
    for (const Row& row :
         {Row{RawFormat::Webp, "/a/b.webp", FormatKind::Webp, ".webp", false},
          Row{RawFormat::WebpLossless, "/a/b.WebP", FormatKind::Webp, ".WebP", true},
          Row{RawFormat::Avif, "/a/b.avif", FormatKind::Avif, ".avif", false},
          Row{RawFormat::Heif, "/a/IMG_1.HEIC", FormatKind::Jpeg, ".JPG", false},
          Row{RawFormat::Jxl, "/a/b.jxl", FormatKind::Png, ".PNG", false},
          Row{RawFormat::Icon, "/a/b.ico", FormatKind::Png, ".ico", false}}) {
        OutputFormat format;
        ResolveSameAsSource(format, row.raw, QString::fromUtf8(row.path));
        EXPECT_EQ(format.kind, row.kind) << row.path;
        EXPECT_EQ(format.extension, QString::fromUtf8(row.extension)) << row.path;
        EXPECT_EQ(format.lossless, row.lossless) << row.path;
        EXPECT_FALSE(format.encoderClsid.isNull()) << row.path;
    }
}

}  // namespace
}  // namespace corvane
