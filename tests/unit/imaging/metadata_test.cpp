// The pictures' metadata: read once on load, carried by every operation that makes a picture
// from another, written into JPEG, PNG and TIFF outputs made true for them (upright, their own
// size, no thumbnail), read back by Exiv2 and by exiftool; and never at the cost of the picture.

#include "imaging/image_processor.h"
#include "support/metadata_samples.h"
#include "support/output_formats.h"
#include "support/temp_tree.h"
#include "support/test_names.h"

#include "unit/imaging/qt_encoded.h"

#include <gtest/gtest.h>

#include <QColorSpace>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace corvane {
namespace {

using test::ReadAll;
using test::TagValue;
using Tags = std::map<std::string, std::string>;

constexpr QRgb kTopLeft = 0xFFE02020;
constexpr QRgb kTopRight = 0xFF20C020;
constexpr QRgb kBottomLeft = 0xFF2020E0;
constexpr QRgb kBottomRight = 0xFFE0E020;

// Four flat quarters, so that even a JPEG keeps each corner's colour.
QImage Quarters(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            image.setPixel(
                x, y,
                bottom ? (right ? kBottomRight : kBottomLeft) : (right ? kTopRight : kTopLeft));
        }
    }
    image.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    return image;
}

const char* QtName(FormatKind kind) {
    switch (kind) {
        case FormatKind::Jpeg:
            return "jpeg";
        case FormatKind::Tiff:
            return "tiff";
        default:
            return "png";
    }
}

// How many colour profiles a file holds: JPEG and TIFF store the profile as it is (its header
// signature "acsp" shows), PNG compressed in one chunk each.
qsizetype ProfileCopies(const QByteArray& file, FormatKind kind) {
    return file.count(kind == FormatKind::Png ? "iCCP" : "acsp");
}

bool HasKeyStartingWith(const Tags& tags, const std::string& prefix) {
    return std::any_of(tags.begin(), tags.end(),
                       [&](const auto& tag) { return tag.first.rfind(prefix, 0) == 0; });
}

// exiftool's reading of a file (numbers as numbers, keys "Group:Tag"); nullopt when exiftool is
// not installed.
std::optional<Tags> Exiftool(const QString& path) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
    if (program.isEmpty()) {
        return std::nullopt;
    }
    QProcess process;
    process.start(program, {"-j", "-n", "-G1", path});
    process.waitForFinished(60000);
    const QJsonArray files = QJsonDocument::fromJson(process.readAllStandardOutput()).array();
    Tags tags;
    const QJsonObject object = files.isEmpty() ? QJsonObject() : files.first().toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        tags[it.key().toStdString()] = it.value().isDouble()
                                           ? QString::number(it.value().toDouble()).toStdString()
                                           : it.value().toVariant().toString().toStdString();
    }
    return tags;
}

class Metadata : public ::testing::Test {
protected:
    BitmapPtr Load(const QByteArray& bytes, LoadError* error = nullptr) {
        return processor_.LoadImage(tree_.WriteFile(QStringLiteral("source"), bytes), nullptr, {},
                                    error);
    }

    // Saves in `kind`; the written bytes, empty when nothing was written.
    QByteArray Save(ImageSlot slot, FormatKind kind, QString* problem = nullptr,
                    const WatermarkSettings* watermark = nullptr) {
        const OutputFormat format = test::FormatOfKind(kind);
        const QString path = tree_.Path(QStringLiteral("out") + format.extension);
        QFile::remove(path);
        if (!processor_.SaveImage(slot, path, format, watermark, IfExists::Replace, nullptr,
                                  problem)) {
            return {};
        }
        lastSaved_ = path;
        return ReadAll(path);
    }

    // `source` loads whole at `size`, its loss of metadata named or not as `reported` says, and
    // what was read of its metadata is written whole: every output opens as the picture.
    void ExpectLoadsAndSavesWhole(const QByteArray& source, QSize size, bool reported) {
        LoadError error;
        BitmapPtr loaded = Load(source, &error);
        ASSERT_TRUE(IsUsable(loaded.get()));
        EXPECT_EQ(error.kind, LoadError::Kind::None);
        EXPECT_EQ(loaded->Image().size(), size);
        EXPECT_EQ(!error.metadataProblem.isEmpty(), reported)
            << error.metadataProblem.toStdString();
        for (FormatKind kind : {FormatKind::Jpeg, FormatKind::Png, FormatKind::Tiff}) {
            QString problem;
            const QByteArray written = Save(loaded, kind, &problem);
            EXPECT_EQ(problem, QString()) << QtName(kind);
            EXPECT_EQ(QImage::fromData(written).size(), size) << QtName(kind);
        }
    }

    test::TempTree tree_;
    ImageProcessor processor_;
    QString lastSaved_;
};

// --- every tag, in every format that holds metadata ----------------------------------------------

struct TravelRow {
    const char* name;
    FormatKind source;
    FormatKind output;
};

class MetadataTravels : public Metadata, public ::testing::WithParamInterface<TravelRow> {
protected:
    // The sample tags, the orientation reset, the size of a picture stored 64 x 48 and shown
    // turned (48 x 64), no thumbnail; as Exiv2 reads them.
    static void ExpectMadeTrue(const Tags& tags, bool commented) {
        for (const test::SampleTag& tag : test::SampleTags()) {
            EXPECT_EQ(TagValue(tags, tag.exiv2Key), tag.exiv2Value) << tag.exiv2Key;
        }
        EXPECT_EQ(TagValue(tags, "Exif.Image.Orientation"), "1");
        EXPECT_EQ(TagValue(tags, "Xmp.tiff.Orientation"), "1");
        EXPECT_EQ(TagValue(tags, "Exif.Photo.PixelXDimension"), "48");
        EXPECT_EQ(TagValue(tags, "Exif.Photo.PixelYDimension"), "64");
        EXPECT_EQ(TagValue(tags, "Xmp.exif.PixelXDimension"), "48");
        EXPECT_EQ(TagValue(tags, "Xmp.exif.PixelYDimension"), "64");
        EXPECT_FALSE(HasKeyStartingWith(tags, "Exif.Thumbnail.")) << "thumbnail kept";
        EXPECT_EQ(TagValue(tags, "Comment"), commented ? test::kSampleComment : "(missing)");
    }

    // The same, as exiftool reads them.
    static void ExpectMadeTrueToExiftool(const Tags& tags, FormatKind output, bool commented) {
        for (const test::SampleTag& tag : test::SampleTags()) {
            EXPECT_EQ(TagValue(tags, tag.exiftoolKey), tag.exiftoolValue) << tag.exiftoolKey;
        }
        EXPECT_EQ(TagValue(tags, "IFD0:Orientation"), "1");
        EXPECT_EQ(TagValue(tags, "XMP-tiff:Orientation"), "1");
        EXPECT_EQ(TagValue(tags, "ExifIFD:ExifImageWidth"), "48");
        EXPECT_EQ(TagValue(tags, "ExifIFD:ExifImageHeight"), "64");
        EXPECT_FALSE(HasKeyStartingWith(tags, "IFD1:")) << "thumbnail kept";
        const std::string commentKey =
            output == FormatKind::Png ? "PNG:Description" : "File:Comment";
        if (commented) {
            EXPECT_EQ(TagValue(tags, commentKey), test::kSampleComment);
        }
    }
};

TEST_P(MetadataTravels, EveryTagReadsBackMadeTrue) {
    const TravelRow& row = GetParam();
    const QByteArray source =
        test::SampleWithMetadata(Quarters(64, 48), QtName(row.source), 6, QSize(64, 48));
    ASSERT_FALSE(source.isEmpty());
    LoadError error;
    BitmapPtr loaded = Load(source, &error);
    ASSERT_TRUE(IsUsable(loaded.get()));
    EXPECT_EQ(error.metadataProblem, QString());
    ASSERT_EQ(loaded->Image().size(), QSize(48, 64));

    QString problem;
    const QByteArray written = Save(loaded, row.output, &problem);
    ASSERT_FALSE(written.isEmpty());
    EXPECT_EQ(problem, QString());
    // TIFF has no comment, so a comment neither comes from nor goes into one.
    const bool commented = row.source != FormatKind::Tiff && row.output != FormatKind::Tiff;
    ExpectMadeTrue(test::Exiv2Tags(written), commented);

    // The colour profile is written by the encoder, once, and survives the metadata step.
    EXPECT_EQ(ProfileCopies(written, row.output), 1);
    EXPECT_EQ(QImage::fromData(written).colorSpace(), QColorSpace(QColorSpace::DisplayP3));

    const std::optional<Tags> exiftool = Exiftool(lastSaved_);
    if (!exiftool) {
        GTEST_SKIP() << "exiftool is not installed";
    }
    ExpectMadeTrueToExiftool(*exiftool, row.output, commented);
}

INSTANTIATE_TEST_SUITE_P(
    SourceToOutput, MetadataTravels,
    ::testing::Values(TravelRow{"jpeg to jpeg", FormatKind::Jpeg, FormatKind::Jpeg},
                      TravelRow{"jpeg to png", FormatKind::Jpeg, FormatKind::Png},
                      TravelRow{"jpeg to tiff", FormatKind::Jpeg, FormatKind::Tiff},
                      TravelRow{"png to jpeg", FormatKind::Png, FormatKind::Jpeg},
                      TravelRow{"png to png", FormatKind::Png, FormatKind::Png},
                      TravelRow{"png to tiff", FormatKind::Png, FormatKind::Tiff},
                      TravelRow{"tiff to jpeg", FormatKind::Tiff, FormatKind::Jpeg},
                      TravelRow{"tiff to png", FormatKind::Tiff, FormatKind::Png},
                      TravelRow{"tiff to tiff", FormatKind::Tiff, FormatKind::Tiff}),
    test::kRowName);

// --- operations that make a picture from another ------------------------------------------------

struct OperationRow {
    const char* name;
    // Makes the picture to save from the loaded sample (48 x 64) and a bare picture.
    std::function<BitmapPtr(const ImageProcessor&, BitmapPtr sample, BitmapPtr bare)> make;
    QSize size;
    bool keepsMetadata;
};

BitmapPtr Turned(const ImageProcessor& processor, BitmapPtr image, float angle) {
    processor.RotateByAngle(image, angle, 0xFFFFFF);
    return image;
}

BitmapPtr FirstTile(const ImageProcessor& processor, BitmapPtr image) {
    std::vector<BitmapPtr> tiles;
    processor.CutByCount(image.get(), &tiles, 2, 2);
    return tiles.empty() ? nullptr : std::move(tiles.front());
}

BitmapPtr Mosaic(const ImageProcessor& processor, BitmapPtr first, BitmapPtr second) {
    BitmapPtr canvas;
    processor.AppendToCanvas(canvas, first.get(), 0, 0);
    processor.AppendToCanvas(canvas, second.get(), first->Width(), 0);
    return canvas;
}

class MetadataCarried : public Metadata, public ::testing::WithParamInterface<OperationRow> {};

TEST_P(MetadataCarried, OutputSaysItsOwnSize) {
    const OperationRow& row = GetParam();
    BitmapPtr sample = Load(test::SampleWithMetadata(Quarters(64, 48), "jpeg", 6, QSize(64, 48)));
    ASSERT_TRUE(IsUsable(sample.get()));
    ASSERT_NE(sample->Metadata(), nullptr);
    const MetadataPtr read = sample->Metadata();
    BitmapPtr made =
        row.make(processor_, std::move(sample), std::make_unique<Bitmap>(QImage(Quarters(30, 20))));
    ASSERT_TRUE(IsUsable(made.get()));
    ASSERT_EQ(made->Image().size(), row.size);
    EXPECT_EQ(made->Metadata() == read, row.keepsMetadata);
    EXPECT_EQ(made->Image().colorSpace(), QColorSpace(QColorSpace::DisplayP3));

    const Tags tags = test::Exiv2Tags(Save(made, FormatKind::Jpeg));
    if (!row.keepsMetadata) {
        EXPECT_EQ(TagValue(tags, "Exif.Image.Make"), "(missing)");
        return;
    }
    EXPECT_EQ(TagValue(tags, "Exif.Image.Make"), "Corvane Camera Co");
    EXPECT_EQ(TagValue(tags, "Exif.Image.Orientation"), "1");
    EXPECT_EQ(TagValue(tags, "Exif.Photo.PixelXDimension"), std::to_string(row.size.width()));
    EXPECT_EQ(TagValue(tags, "Exif.Photo.PixelYDimension"), std::to_string(row.size.height()));
    EXPECT_EQ(TagValue(tags, "Xmp.exif.PixelXDimension"), std::to_string(row.size.width()));
}

INSTANTIATE_TEST_SUITE_P(
    Operations, MetadataCarried,
    ::testing::Values(OperationRow{"quarter turn",
                                   [](const ImageProcessor& p, BitmapPtr s, BitmapPtr) {
                                       return Turned(p, std::move(s), 90.0f);
                                   },
                                   QSize(64, 48), true},
                      OperationRow{"free turn",
                                   [](const ImageProcessor& p, BitmapPtr s, BitmapPtr) {
                                       return Turned(p, std::move(s), 45.0f);
                                   },
                                   QSize(80, 80), true},
                      OperationRow{"resize",
                                   [](const ImageProcessor& p, BitmapPtr s, BitmapPtr) {
                                       p.ResizeByRatio(s, 0.5);
                                       return s;
                                   },
                                   QSize(24, 32), true},
                      OperationRow{"pixel format normalised",
                                   [](const ImageProcessor& p, BitmapPtr s, BitmapPtr) {
                                       s->Image() =
                                           s->Image().convertToFormat(QImage::Format_Grayscale8);
                                       p.NormalizePixelFormat(s);
                                       return s;
                                   },
                                   QSize(48, 64), true},
                      OperationRow{"tile",
                                   [](const ImageProcessor& p, BitmapPtr s, BitmapPtr) {
                                       return FirstTile(p, std::move(s));
                                   },
                                   QSize(24, 32), true},
                      OperationRow{"mosaic starting with it",
                                   [](const ImageProcessor& p, BitmapPtr s, BitmapPtr b) {
                                       return Mosaic(p, std::move(s), std::move(b));
                                   },
                                   QSize(78, 64), true},
                      OperationRow{"mosaic starting with another",
                                   [](const ImageProcessor& p, BitmapPtr s, BitmapPtr b) {
                                       return Mosaic(p, std::move(b), std::move(s));
                                   },
                                   QSize(78, 64), false}),
    test::kRowName);

TEST_F(Metadata, WatermarkedOutputKeepsIt) {
    BitmapPtr sample = Load(test::SampleWithMetadata(Quarters(64, 48), "png", 1, QSize(64, 48)));
    ASSERT_TRUE(IsUsable(sample.get()));
    WatermarkSettings watermark;
    watermark.on = true;
    watermark.text = QStringLiteral("Corvane");
    const Tags tags = test::Exiv2Tags(Save(sample, FormatKind::Png, nullptr, &watermark));
    EXPECT_EQ(TagValue(tags, "Exif.Image.Make"), "Corvane Camera Co");
    EXPECT_EQ(TagValue(tags, "Comment"), test::kSampleComment);
}

TEST_F(Metadata, TiffKeepsTheEncodersBytesAndGetsANewFirstDirectory) {
    BitmapPtr sample = Load(test::SampleWithMetadata(Quarters(64, 48), "jpeg", 1, QSize(64, 48)));
    ASSERT_TRUE(IsUsable(sample.get()));
    BitmapPtr bare = std::make_unique<Bitmap>(sample->Image());
    const QByteArray plain = Save(bare, FormatKind::Tiff);
    const QByteArray kept = Save(sample, FormatKind::Tiff);
    ASSERT_FALSE(plain.isEmpty());
    ASSERT_GT(kept.size(), plain.size());
    // Only the header's pointer to the first directory changed: the strips were never copied.
    EXPECT_EQ(kept.first(4), plain.first(4));
    EXPECT_EQ(kept.sliced(8, plain.size() - 8), plain.sliced(8));
    EXPECT_GE(qFromLittleEndian<quint32>(kept.constData() + 4), quint32(plain.size()));

    const QImage read = QImage::fromData(kept, "tiff");
    EXPECT_EQ(read.convertToFormat(QImage::Format_RGB32),
              QImage::fromData(plain, "tiff").convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(read.colorSpace(), QColorSpace(QColorSpace::DisplayP3)) << "the encoder's tags stay";
    const Tags tags = test::Exiv2Tags(kept);
    EXPECT_EQ(TagValue(tags, "Exif.Image.Make"), "Corvane Camera Co");
    EXPECT_EQ(TagValue(tags, "Exif.Image.ImageWidth"), "64");
    EXPECT_EQ(TagValue(tags, "Iptc.Application2.Copyright"), "(c) Test Photographer");
}

// Bytes encoded into memory (on another thread, ahead of their turn) are written exactly as
// SaveImage writes the picture itself, with every kind of metadata writer and the watermark.
TEST_F(Metadata, EncodedAheadWritesWhatSavingWrites) {
    BitmapPtr sample = Load(test::SampleWithMetadata(Quarters(64, 48), "jpeg", 6, QSize(64, 48)));
    ASSERT_TRUE(IsUsable(sample.get()));
    WatermarkSettings watermark;
    watermark.on = true;
    watermark.text = QStringLiteral("Corvane");
    for (const WatermarkSettings* mark : {static_cast<const WatermarkSettings*>(nullptr),
                                          static_cast<const WatermarkSettings*>(&watermark)}) {
        for (const FormatKind kind : {FormatKind::Jpeg, FormatKind::Png, FormatKind::Tiff,
                                      FormatKind::Bmp, FormatKind::Gif, FormatKind::Emf}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(kind)) + (mark ? " marked" : ""));
            QString problem;
            const QByteArray saved = Save(sample, kind, &problem, mark);
            ASSERT_FALSE(saved.isEmpty());
            EncodedFile encoded;
            ASSERT_TRUE(processor_.EncodeImage(sample, test::FormatOfKind(kind), mark, &encoded));
            const QString path = tree_.Path(QStringLiteral("ahead"));
            ASSERT_TRUE(ImageProcessor::WriteEncoded(encoded, path, IfExists::Replace).Written());
            EXPECT_EQ(ReadAll(path), saved);
            EXPECT_EQ(encoded.metadataProblem, problem);
        }
    }
}

// --- orientation --------------------------------------------------------------------------------

struct OrientationRow {
    const char* name;
    const char* qtFormat;
    int orientation;
    // Where the stored picture's upper-left and upper-right corners are shown.
    QPoint upperLeftAt;
    QPoint upperRightAt;
};

class MetadataOrientation : public Metadata,
                            public ::testing::WithParamInterface<OrientationRow> {};

TEST_P(MetadataOrientation, PixelsAreTurnedAsStated) {
    const OrientationRow& row = GetParam();
    // 40 x 20 stored; shown 20 x 40 when the orientation turns it a quarter.
    BitmapPtr loaded = Load(
        test::SampleWithMetadata(Quarters(40, 20), row.qtFormat, row.orientation, QSize(40, 20)));
    ASSERT_TRUE(IsUsable(loaded.get()));
    const bool quarter = row.orientation >= 5;
    const QImage& image = loaded->Image();
    ASSERT_EQ(image.size(), quarter ? QSize(20, 40) : QSize(40, 20));
    // A pixel two in from the corner (0 or 1 on each axis) where each stored corner is shown.
    const auto corner = [&](QPoint at) {
        return image.pixel(at.x() == 0 ? 2 : image.width() - 3,
                           at.y() == 0 ? 2 : image.height() - 3);
    };
    const auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) < 40 && std::abs(qGreen(a) - qGreen(b)) < 40 &&
               std::abs(qBlue(a) - qBlue(b)) < 40;
    };
    EXPECT_TRUE(near(corner(row.upperLeftAt), kTopLeft));
    EXPECT_TRUE(near(corner(row.upperRightAt), kTopRight));
    // Turning never loses the colour profile.
    EXPECT_EQ(image.colorSpace(), QColorSpace(QColorSpace::DisplayP3));
}

// The eight orientations of the EXIF standard, by where the stored upper corners are shown.
std::vector<OrientationRow> OrientationRows() {
    struct Turn {
        int orientation;
        QPoint upperLeftAt;
        QPoint upperRightAt;
    };
    const Turn turns[] = {
        {1, {0, 0}, {1, 0}}, {2, {1, 0}, {0, 0}}, {3, {1, 1}, {0, 1}}, {4, {0, 1}, {1, 1}},
        {5, {0, 0}, {0, 1}}, {6, {1, 0}, {1, 1}}, {7, {1, 1}, {1, 0}}, {8, {0, 1}, {0, 0}},
    };
    static const char* const kNames[3][8] = {
        {"jpeg 1", "jpeg 2", "jpeg 3", "jpeg 4", "jpeg 5", "jpeg 6", "jpeg 7", "jpeg 8"},
        {"png 1", "png 2", "png 3", "png 4", "png 5", "png 6", "png 7", "png 8"},
        {"tiff 1", "tiff 2", "tiff 3", "tiff 4", "tiff 5", "tiff 6", "tiff 7", "tiff 8"},
    };
    const char* const formats[] = {"jpeg", "png", "tiff"};
    std::vector<OrientationRow> rows;
    for (int f = 0; f < 3; ++f) {
        for (const Turn& turn : turns) {
            rows.push_back({kNames[f][turn.orientation - 1], formats[f], turn.orientation,
                            turn.upperLeftAt, turn.upperRightAt});
        }
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(EveryOrientation, MetadataOrientation,
                         ::testing::ValuesIn(OrientationRows()), test::kRowName);

// --- damaged and hostile metadata ---------------------------------------------------------------

struct DamageRow {
    const char* name;
    QByteArray (*payload)();  // an APP1 segment's payload
    bool reported;            // the loss is named in the load's notes
};

class MetadataDamaged : public Metadata, public ::testing::WithParamInterface<DamageRow> {};

TEST_P(MetadataDamaged, PictureLoadsAndSavesAll) {
    const QImage picture = Quarters(32, 24);
    const QByteArray clean = test::SampleWithMetadata(picture, "jpeg", 1, QSize(32, 24));
    ExpectLoadsAndSavesWhole(test::WithApp1(clean, GetParam().payload()), picture.size(),
                             GetParam().reported);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, MetadataDamaged,
    ::testing::Values(
        DamageRow{"exif not tiff", &test::ExifNotTiff, true},
        DamageRow{"looping ifds", &test::ExifLoopingIfds, true},
        DamageRow{"huge entry count", &test::ExifHugeEntryCount, true},
        DamageRow{"huge value", &test::ExifHugeValue, true},
        DamageRow{"pointer chain", &test::ExifDeepPointerChain, true},
        DamageRow{"stray storage tags", &test::ExifStrayStorageTags, false},
        DamageRow{"xmp not xml", [] { return test::XmpPayload("<x:xmpmeta><rdf:RDF"); }, true},
        DamageRow{"xmp entity bomb", [] { return test::XmpPayload(test::XmpEntityBomb()); }, true}),
    test::kRowName);

// Compressed PNG text that inflates to 64 MiB: bounded by the reader, the picture whole.
TEST_F(Metadata, PngTextBombsLoadAndSaveAll) {
    const QImage picture = Quarters(32, 24);
    const struct {
        const char* chunk;
        const char* keyword;
        char fill;
    } bombs[] = {
        {"iTXt", "XML:com.adobe.xmp", ' '},
        {"zTXt", "Raw profile type exif", '0'},
        {"zTXt", "Raw profile type iptc", '0'},
        {"zTXt", "Comment", 'c'},
    };
    for (const auto& bomb : bombs) {
        SCOPED_TRACE(bomb.keyword);
        ExpectLoadsAndSavesWhole(
            test::PngWithTextBomb(picture, bomb.chunk, bomb.keyword, bomb.fill, 64 << 20),
            picture.size(), true);
    }
}

TEST_F(Metadata, TooLargeForAJpegSegmentOnlyThatBlockIsLeftOut) {
    // An XMP packet of about 70 kB fits in PNG and TIFF, not in a JPEG segment (64 kB): the JPEG
    // keeps the rest.
    BitmapPtr loaded = Load(test::SampleWithLongDescription(Quarters(32, 24), "png", 70000));
    ASSERT_TRUE(IsUsable(loaded.get()));
    QString problem;
    const QByteArray jpeg = Save(loaded, FormatKind::Jpeg, &problem);
    ASSERT_FALSE(jpeg.isEmpty());
    EXPECT_TRUE(problem.contains(QStringLiteral("XMP"))) << problem.toStdString();
    EXPECT_EQ(QImage::fromData(jpeg).size(), QSize(32, 24));
    const Tags jpegTags = test::Exiv2Tags(jpeg);
    EXPECT_EQ(TagValue(jpegTags, "Exif.Image.Make"), "Corvane Camera Co");
    EXPECT_EQ(TagValue(jpegTags, "Iptc.Application2.Copyright"), "(c) Test Photographer");
    EXPECT_EQ(TagValue(jpegTags, "Xmp.dc.description"), "(missing)");
    for (FormatKind kind : {FormatKind::Png, FormatKind::Tiff}) {
        problem.clear();
        const Tags tags = test::Exiv2Tags(Save(loaded, kind, &problem));
        EXPECT_EQ(problem, QString()) << QtName(kind);
        EXPECT_EQ(TagValue(tags, "Xmp.dc.description").size(), 70000u + 17u) << QtName(kind);
    }
}

// --- comments -----------------------------------------------------------------------------------

TEST_F(Metadata, CommentOfAPngTextChunkBecomesTheComment) {
    QImage picture = Quarters(16, 16);
    picture.setText(QStringLiteral("Comment"), QStringLiteral("drawn by hand"));
    picture.setText(QStringLiteral("Disclaimer"), QStringLiteral("no warranty"));
    BitmapPtr loaded = Load(test::QtEncoded(picture, "png"));
    ASSERT_TRUE(IsUsable(loaded.get()));
    const QByteArray jpeg = Save(loaded, FormatKind::Jpeg);
    EXPECT_EQ(TagValue(test::Exiv2Tags(jpeg), "Comment"), "drawn by hand");
    // The comment is written once, by the metadata step; Qt's own text comments are not.
    EXPECT_EQ(jpeg.count("drawn by hand"), 1);
    EXPECT_EQ(jpeg.count("no warranty"), 0);
}

// A source whose only metadata is a comment: the outputs carry it once, and nothing else.
TEST_F(Metadata, OnlyACommentTravelsAlone) {
    const QByteArray jpeg = test::QtEncoded(Quarters(16, 16), "jpeg");
    BitmapPtr loaded =
        Load(jpeg.first(2) + QByteArray("\xFF\xFE\x00\x0Conly words", 14) + jpeg.sliced(2));
    ASSERT_TRUE(IsUsable(loaded.get()));
    for (FormatKind kind : {FormatKind::Jpeg, FormatKind::Png}) {
        SCOPED_TRACE(QtName(kind));
        QString problem;
        const QByteArray written = Save(loaded, kind, &problem);
        EXPECT_EQ(problem, QString());
        const Tags tags = test::Exiv2Tags(written);
        EXPECT_EQ(TagValue(tags, "Comment"), "only words");
        EXPECT_FALSE(HasKeyStartingWith(tags, "Exif.") || HasKeyStartingWith(tags, "Xmp.") ||
                     HasKeyStartingWith(tags, "Iptc."));
        EXPECT_EQ(written.count("only words"), 1);
        EXPECT_EQ(QImage::fromData(written).size(), QSize(16, 16));
    }
}

// A PNG's standard text keywords reach every output as XMP; what its XMP states itself wins.
TEST_F(Metadata, PngTextKeywordsTravelAsXmp) {
    QImage picture = Quarters(16, 16);
    picture.setText(QStringLiteral("Title"), QStringLiteral("Harbour in fog"));
    picture.setText(QStringLiteral("Author"), QStringLiteral("A. Painter"));
    // Reads like Exiv2's notation for a language; stays text.
    picture.setText(QStringLiteral("Copyright"), QStringLiteral("lang=\"fr\" tous droits"));
    picture.setText(QStringLiteral("Software"), QStringLiteral("some editor"));
    const struct {
        const char* name;
        QByteArray source;
        const char* title;
        const char* creator;
    } sources[] = {
        {"text chunks only", test::QtEncoded(picture, "png"), "lang=\"x-default\" Harbour in fog",
         "A. Painter"},
        {"text chunks and xmp", test::SampleWithMetadata(picture, "png", 1, picture.size()),
         "lang=\"x-default\" Harbour at dawn", "Test Photographer"},
    };
    for (const auto& source : sources) {
        BitmapPtr loaded = Load(source.source);
        ASSERT_TRUE(IsUsable(loaded.get())) << source.name;
        for (FormatKind kind : {FormatKind::Jpeg, FormatKind::Png, FormatKind::Tiff}) {
            SCOPED_TRACE(std::string(source.name) + " to " + QtName(kind));
            const Tags tags = test::Exiv2Tags(Save(loaded, kind));
            EXPECT_EQ(TagValue(tags, "Xmp.dc.title"), source.title);
            EXPECT_EQ(TagValue(tags, "Xmp.dc.creator"), source.creator);
            EXPECT_EQ(TagValue(tags, "Xmp.dc.rights"),
                      "lang=\"x-default\" lang=\"fr\" tous droits");
            EXPECT_EQ(TagValue(tags, "Xmp.xmp.CreatorTool"), "some editor");
        }
    }
}

}  // namespace
}  // namespace corvane
