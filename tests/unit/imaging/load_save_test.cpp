// Loading and saving through the image processor: round trips in every output format, format
// detection from content, EXIF orientation, colour profiles, TIFF compression, same-as-source
// outputs, and writes that must leave nothing behind when they fail.

#include "imaging/image_processor.h"
#include "imaging/raster_codec.h"
#include "support/image_difference.h"
#include "support/output_formats.h"
#include "support/temp_tree.h"
#include "support/test_names.h"
#include "support/two_frame_gif.h"
#include "support/unprivileged.h"

#include "unit/imaging/qt_encoded.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QMetaEnum>
#include <QtEndian>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <random>

namespace corvane {
namespace {

using test::QtEncoded;

using test::Entries;
using test::ReadAll;
using test::TempTree;

// Opaque blocks of 8 x 8 pixels whose neighbours differ a little: few colours (a GIF keeps them
// exactly), and smooth enough that JPEG stays close.
QImage BlockPicture(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(60 + (x / 8) * 12 % 180, 40 + (y / 8) * 15 % 200, 150));
        }
    }
    return image;
}

OutputFormat Format(FormatKind kind) {
    return test::FormatOfKind(kind);
}

bool QtWrites(const char* format) {
    return QImageWriter::supportedImageFormats().contains(QByteArray(format));
}

BitmapPtr Slot(const QImage& image) {
    return std::make_unique<Bitmap>(image);
}

// A JPEG with an APP1 Exif segment holding only the orientation tag, spliced after SOI.
QByteArray WithExifOrientation(QByteArray jpeg, quint16 orientation) {
    QByteArray tiff("MM\0\x2a\0\0\0\x08", 8);
    auto put16 = [&tiff](quint16 v) { tiff.append(char(v >> 8)).append(char(v & 0xff)); };
    auto put32 = [&](quint32 v) { put16(quint16(v >> 16)), put16(quint16(v)); };
    put16(1);                           // one entry
    put16(0x0112), put16(3), put32(1);  // Orientation, SHORT, count 1
    put16(orientation), put16(0);       // value, padded to 4 bytes
    put32(0);                           // no next IFD
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xff\xe1");
    const quint16 length = quint16(payload.size() + 2);
    segment.append(char(length >> 8)).append(char(length & 0xff)).append(payload);
    return jpeg.insert(2, segment);
}

// The value of a SHORT or LONG tag of the first IFD of a TIFF, or -1.
qint64 FirstIfdTag(const QByteArray& tiff, quint16 wanted) {
    if (tiff.size() < 8 || (tiff.left(2) != "II" && tiff.left(2) != "MM")) {
        return -1;
    }
    const bool little = tiff.startsWith("II");
    const auto* data = reinterpret_cast<const uchar*>(tiff.constData());
    auto u16 = [&](qsizetype at) {
        return little ? qFromLittleEndian<quint16>(data + at) : qFromBigEndian<quint16>(data + at);
    };
    auto u32 = [&](qsizetype at) {
        return little ? qFromLittleEndian<quint32>(data + at) : qFromBigEndian<quint32>(data + at);
    };
    const qsizetype ifd = u32(4);
    if (ifd + 2 > tiff.size()) {
        return -1;
    }
    const int count = u16(ifd);
    for (int i = 0; i < count && ifd + 2 + 12 * (i + 1) <= tiff.size(); ++i) {
        const qsizetype entry = ifd + 2 + 12 * i;
        if (u16(entry) == wanted) {
            return u16(entry + 2) == 3 ? u16(entry + 8) : u32(entry + 8);
        }
    }
    return -1;
}

class LoadSave : public ::testing::Test {
protected:
    BitmapPtr SaveAndLoad(const QImage& image, FormatKind kind, RawFormat* raw) {
        const OutputFormat format = Format(kind);
        BitmapPtr slot = Slot(image);
        const QString path = tree_.Path(QStringLiteral("out") + format.extension);
        if (!processor_.SaveImage(slot, path, format)) {
            return nullptr;
        }
        return processor_.LoadImage(path, raw);
    }

    TempTree tree_;
    ImageProcessor processor_;
};

// --- round trips ---------------------------------------------------------------------------------

struct RoundTripRow {
    const char* name;
    FormatKind kind;
    RawFormat raw;
    double tolerance;  // mean difference per channel, 0..255
};

class LoadSaveRoundTrip : public LoadSave, public ::testing::WithParamInterface<RoundTripRow> {};

TEST_P(LoadSaveRoundTrip, LoadsWhatWasSaved) {
    const RoundTripRow& row = GetParam();
    const QImage original = BlockPicture(64, 48);
    RawFormat raw = RawFormat::Undefined;
    BitmapPtr loaded = SaveAndLoad(original, row.kind, &raw);
    ASSERT_NE(loaded, nullptr) << "not written";
    ASSERT_TRUE(IsUsable(loaded.get()));
    EXPECT_EQ(raw, row.raw);
    ASSERT_EQ(loaded->Image().size(), original.size());
    EXPECT_LE(test::CompareImages(loaded->Image(), original).mean, row.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, LoadSaveRoundTrip,
    ::testing::Values(RoundTripRow{"Png", FormatKind::Png, RawFormat::Png, 0},
                      RoundTripRow{"Bmp", FormatKind::Bmp, RawFormat::Bmp, 0},
                      RoundTripRow{"Jpeg", FormatKind::Jpeg, RawFormat::Jpeg, 3},
                      RoundTripRow{"Gif", FormatKind::Gif, RawFormat::Gif, 0},
                      RoundTripRow{"Tiff", FormatKind::Tiff, RawFormat::Tiff, 0},
                      RoundTripRow{"Emf", FormatKind::Emf, RawFormat::Emf, 0.5},
                      RoundTripRow{"Wmf", FormatKind::Wmf, RawFormat::Wmf, 0.5}),
    test::kRowName);

TEST_F(LoadSave, EveryPixelFormatEncodes) {
    const QImage base = BlockPicture(20, 12);
    const QImage::Format pixelFormats[] = {
        QImage::Format_RGB555, QImage::Format_RGB888,   QImage::Format_RGB32,
        QImage::Format_ARGB32, QImage::Format_Indexed8, QImage::Format_Grayscale8,
        QImage::Format_Mono,   QImage::Format_RGBA64,   QImage::Format_ARGB32_Premultiplied,
    };
    for (FormatKind kind :
         {FormatKind::Png, FormatKind::Bmp, FormatKind::Jpeg, FormatKind::Gif, FormatKind::Tiff}) {
        for (QImage::Format pixelFormat : pixelFormats) {
            SCOPED_TRACE(testing::Message()
                         << "kind " << int(kind) << ", pixel format " << int(pixelFormat));
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            ASSERT_TRUE(EncodeRaster(base.convertToFormat(pixelFormat), kind, &buffer));
            EXPECT_EQ(QImage::fromData(bytes).size(), base.size());
        }
    }
}

TEST_F(LoadSave, NothingAtPathGivesNoBitmap) {
    RawFormat raw = RawFormat::Png;
    LoadError error;
    EXPECT_EQ(processor_.LoadImage(tree_.Path("missing.png"), &raw, {}, &error), nullptr);
    EXPECT_EQ(raw, RawFormat::Undefined);
    EXPECT_EQ(error.kind, LoadError::Kind::Unreadable);
    EXPECT_FALSE(error.text.isEmpty());
}

TEST_F(LoadSave, OnlyRegularFilesAreRead) {
    // A pipe without a writer would block an open() forever.
    const QString pipe = tree_.Path("pipe.png");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& path : {tree_.MakeFolder("folder.png"), pipe}) {
        SCOPED_TRACE(path.toStdString());
        RawFormat raw = RawFormat::Png;
        LoadError error;
        BitmapPtr bitmap = processor_.LoadImage(path, &raw, {}, &error);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_FALSE(IsUsable(bitmap.get()));
        EXPECT_EQ(raw, RawFormat::Undefined);
        EXPECT_EQ(error.kind, LoadError::Kind::Unreadable);
    }
}

TEST_F(LoadSave, AFileTheUserMayNotReadSaysSoInTheSystemsWords) {
    const QString path = tree_.WriteFile("private.png", QtEncoded(BlockPicture(8, 8), "png"));
    tree_.OpenToEveryone();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    // 0: refused as unreadable, with the system's reason.
    const int result = test::RunUnprivileged([&] {
        LoadError error;
        const BitmapPtr bitmap = ImageProcessor().LoadImage(path, nullptr, {}, &error);
        if (IsUsable(bitmap.get()) || error.kind != LoadError::Kind::Unreadable) {
            return 1;
        }
        return error.text.contains(QStringLiteral("Permission denied")) ? 0 : 2;
    });
    EXPECT_EQ(result, 0);
}

// A file whose size changes while it is read (here: one whose size the system states as 0 but
// that has contents) says so, not "Unknown error".
TEST_F(LoadSave, AFileThatChangesWhileItIsReadSaysSo) {
    LoadError error;
    const BitmapPtr bitmap = processor_.LoadImage("/proc/self/status", nullptr, {}, &error);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_FALSE(IsUsable(bitmap.get()));
    EXPECT_EQ(error.kind, LoadError::Kind::Unreadable);
    EXPECT_TRUE(error.text.contains(QStringLiteral("changed while it was read")))
        << error.text.toStdString();
}

// A disk that fills up in the middle of a write (here: the file size limit, which cuts a write
// short the same way) gives the system's reason, whether the picture is encoded as it is written
// or was encoded before, into memory or into a spill file.
TEST_F(LoadSave, AWriteCutShortByTheDiskSaysWhyInTheSystemsWords) {
    QImage noise(400, 300, QImage::Format_RGB32);
    std::mt19937 random(11);
    for (int y = 0; y < noise.height(); ++y) {
        for (int x = 0; x < noise.width(); ++x) {
            noise.setPixel(x, y, random());  // compresses badly: far above the limit
        }
    }
    BitmapPtr image = Slot(noise);
    tree_.MakeFolder("out");
    tree_.OpenToEveryone();
    const QString expected = QString::fromLocal8Bit(std::strerror(EFBIG));
    EncodedFile spilled;
    spilled.spill = SpillFile::Create(tree_.Path("out"));
    ASSERT_NE(spilled.spill, nullptr);
    ASSERT_EQ(spilled.spill->Device()->write(QByteArray(100000, 'x')), 100000);
    const int result = test::RunUnprivileged([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit { 8192, 8192 };
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 1;
        }
        WriteOutcome saved;
        processor_.SaveImage(image, tree_.Path("out/saved.png"),
                             test::FormatOfKind(FormatKind::Png), nullptr, IfExists::Fail, &saved);
        const WriteOutcome written =
            ImageProcessor::WriteEncoded(EncodedFile{QByteArray(100000, 'x'), {}, {}},
                                         tree_.Path("out/encoded.png"), IfExists::Fail);
        const WriteOutcome copied =
            ImageProcessor::WriteEncoded(spilled, tree_.Path("out/spilled.png"), IfExists::Fail);
        if (saved.Written() || written.Written() || copied.Written()) {
            return 2;
        }
        return saved.text == expected && written.text == expected && copied.text == expected ? 0
                                                                                             : 3;
    });
    EXPECT_EQ(result, 0);
}

// --- what a file is, decided from its bytes ------------------------------------------------------

struct ContentRow {
    const char* name;
    const char* qtFormat;  // the Qt writer that makes the sample; null for a fixed sample
    const char* fileName;  // deliberately misleading extension
    RawFormat raw;
};

class LoadSaveContent : public LoadSave, public ::testing::WithParamInterface<ContentRow> {};

TEST_P(LoadSaveContent, RawFormatComesFromContent) {
    const ContentRow& row = GetParam();
    QByteArray bytes = test::kTwoFrameGif;
    if (row.qtFormat != nullptr) {
        if (!QtWrites(row.qtFormat)) {
            GTEST_SKIP() << "no Qt writer for " << row.qtFormat;
        }
        bytes = QtEncoded(BlockPicture(32, 32), row.qtFormat);
    }
    if (QByteArray(row.name) == "JpegWithExif") {
        bytes = WithExifOrientation(bytes, 1);
    }
    RawFormat raw = RawFormat::Undefined;
    BitmapPtr loaded = processor_.LoadImage(tree_.WriteFile(row.fileName, bytes), &raw);
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(IsUsable(loaded.get()));
    EXPECT_EQ(raw, row.raw);
}

INSTANTIATE_TEST_SUITE_P(
    MisleadingNames, LoadSaveContent,
    ::testing::Values(ContentRow{"PngNamedJpg", "png", "picture.jpg", RawFormat::Png},
                      ContentRow{"JpegNamedPng", "jpeg", "picture.png", RawFormat::Jpeg},
                      ContentRow{"JpegWithExif", "jpeg", "picture.tif", RawFormat::Jpeg},
                      ContentRow{"BmpNamedGif", "bmp", "picture.gif", RawFormat::Bmp},
                      ContentRow{"GifNamedBmp", nullptr, "picture.bmp", RawFormat::Gif},
                      ContentRow{"TiffNamedPng", "tiff", "picture.png", RawFormat::Tiff},
                      ContentRow{"IconNamedPng", "ico", "picture.png", RawFormat::Icon},
                      ContentRow{"PpmIsUndefined", "ppm", "picture.jpg", RawFormat::Undefined}),
    test::kRowName);

// Qt writes one picture per icon file; this joins several into one directory of entries.
QByteArray IconWithEntries(const QList<QImage>& images) {
    QByteArray directory = QtEncoded(images.front(), "ico").left(4);
    QByteArray count(2, '\0');
    qToLittleEndian<quint16>(static_cast<quint16>(images.size()), count.data());
    directory += count;
    QByteArray data;
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (const QImage& image : images) {
        const QByteArray one = QtEncoded(image, "ico");  // header 6, one entry 16, then data
        QByteArray entry = one.mid(6, 16);
        const auto size = static_cast<quint32>(one.size() - 22);
        qToLittleEndian<quint32>(size, entry.data() + 8);
        qToLittleEndian<quint32>(offset, entry.data() + 12);
        directory += entry;
        data += one.mid(22);
        offset += size;
    }
    return directory + data;
}

TEST_F(LoadSave, AnIconGivesItsLargestEntry) {
    if (!QtWrites("ico")) {
        GTEST_SKIP() << "no Qt writer for ico";
    }
    const auto square = [](int side, QRgb colour) {
        QImage image(side, side, QImage::Format_ARGB32);
        image.fill(colour);
        return image;
    };
    const QString path = tree_.WriteFile(
        "app.ico",
        IconWithEntries({square(16, 0xFFFF0000), square(48, 0xFF0000FF), square(32, 0xFF00FF00)}));
    RawFormat raw = RawFormat::Undefined;
    BitmapPtr icon = processor_.LoadImage(path, &raw);
    ASSERT_TRUE(IsUsable(icon.get()));
    EXPECT_EQ(raw, RawFormat::Icon);
    EXPECT_EQ(icon->Image().size(), QSize(48, 48));
    EXPECT_EQ(icon->Image().pixel(10, 10), 0xFF0000FFu);
}

TEST_F(LoadSave, ExifOrientationIsApplied) {
    // Left half red, right half blue; orientation 6 turns it a quarter clockwise on display, so
    // red ends up on top.
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            image.setPixel(x, y, qRgb(255, 0, 0));
        }
    }
    const QByteArray jpeg = WithExifOrientation(QtEncoded(image, "jpeg"), 6);
    RawFormat raw = RawFormat::Undefined;
    BitmapPtr loaded = processor_.LoadImage(tree_.WriteFile("turned.jpg", jpeg), &raw);
    ASSERT_TRUE(IsUsable(loaded.get()));
    EXPECT_EQ(raw, RawFormat::Jpeg);
    ASSERT_EQ(loaded->Image().size(), QSize(20, 40));
    EXPECT_GT(qRed(loaded->Image().pixel(10, 5)), 200);
    EXPECT_GT(qBlue(loaded->Image().pixel(10, 35)), 200);
}

TEST_F(LoadSave, MultiFrameGifGivesFirstFrame) {
    BitmapPtr loaded = processor_.LoadImage(tree_.WriteFile("frames.gif", test::kTwoFrameGif));
    ASSERT_TRUE(IsUsable(loaded.get()));
    EXPECT_EQ(loaded->Image().pixel(0, 0), qRgb(255, 255, 255));
}

// --- colour profile and encoder settings ---------------------------------------------------------

class LoadSaveProfile
    : public LoadSave,
      public ::testing::WithParamInterface<std::tuple<FormatKind, QColorSpace::NamedColorSpace>> {};

TEST_P(LoadSaveProfile, ColourSpaceSurvivesRoundTrip) {
    const auto [kind, named] = GetParam();
    QImage image = BlockPicture(16, 16);
    image.setColorSpace(QColorSpace(named));
    BitmapPtr loaded = SaveAndLoad(image, kind, nullptr);
    ASSERT_TRUE(IsUsable(loaded.get()));
    EXPECT_TRUE(loaded->Image().colorSpace().isValid());
    EXPECT_EQ(loaded->Image().colorSpace(), QColorSpace(named));
}

INSTANTIATE_TEST_SUITE_P(
    ProfileFormats, LoadSaveProfile,
    ::testing::Combine(::testing::Values(FormatKind::Png, FormatKind::Jpeg, FormatKind::Tiff),
                       ::testing::Values(QColorSpace::SRgb, QColorSpace::DisplayP3)),
    [](const auto& row) {
        return Format(std::get<0>(row.param)).extension.mid(1).toStdString() + "_" +
               QMetaEnum::fromType<QColorSpace::NamedColorSpace>().valueToKey(
                   std::get<1>(row.param));
    });

TEST_F(LoadSave, TiffIsLzwCompressed) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(EncodeRaster(BlockPicture(32, 32), FormatKind::Tiff, &buffer));
    constexpr quint16 kCompressionTag = 259;
    constexpr qint64 kLzw = 5;
    EXPECT_EQ(FirstIfdTag(bytes, kCompressionTag), kLzw);
}

// --- what SaveImage does to its input and to the disk --------------------------------------------

TEST_F(LoadSave, SavingLeavesTheSlotImageUntouched) {
    QImage image = BlockPicture(32, 24);
    image.setPixel(3, 3, qRgba(10, 20, 30, 40));
    const QImage before = image.copy();
    BitmapPtr slot = Slot(image);
    Bitmap* const held = slot.get();
    EXPECT_TRUE(processor_.SaveImage(slot, tree_.Path("a.PNG"), Format(FormatKind::Png)));
    EXPECT_TRUE(processor_.SaveImage(slot, tree_.Path("a.JPG"), Format(FormatKind::Jpeg)));
    EXPECT_EQ(slot.get(), held);
    EXPECT_EQ(slot->Image(), before);
    EXPECT_EQ(slot->Image().format(), before.format());
    EXPECT_TRUE(IsUsable(slot.get()));
}

TEST_F(LoadSave, WatermarkShowsOnceInEveryFile) {
    const QImage before = BlockPicture(320, 200);
    BitmapPtr slot = Slot(before);
    WatermarkSettings watermark;
    watermark.on = true;
    watermark.text = QStringLiteral("Corvane");
    // Lossless formats only, PNG twice: every file must show exactly the same pixels.
    QImage first;
    int index = 0;
    for (FormatKind kind : {FormatKind::Png, FormatKind::Bmp, FormatKind::Tiff, FormatKind::Png}) {
        const OutputFormat format = Format(kind);
        const QString path = tree_.Path(QStringLiteral("w%1%2").arg(++index).arg(format.extension));
        ASSERT_TRUE(processor_.SaveImage(slot, path, format, &watermark));
        BitmapPtr loaded = processor_.LoadImage(path);
        ASSERT_TRUE(IsUsable(loaded.get()));
        const QImage pixels = loaded->Image().convertToFormat(QImage::Format_RGB32);
        if (first.isNull()) {
            first = pixels;
        } else {
            EXPECT_EQ(pixels, first) << "file " << index;
        }
    }
    EXPECT_NE(first, before.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(slot->Image(), before);
}

TEST_F(LoadSave, FailedWatermarkWritesNothing) {
    BitmapPtr slot = Slot(BlockPicture(64, 64));
    WatermarkSettings watermark;
    watermark.on = true;  // no text and no picture
    EXPECT_FALSE(
        processor_.SaveImage(slot, tree_.Path("a.PNG"), Format(FormatKind::Png), &watermark));
    EXPECT_TRUE(Entries(tree_.Root()).isEmpty());
    EXPECT_TRUE(IsUsable(slot.get()));
}

TEST_F(LoadSave, FailedFormatDoesNotSuppressTheNext) {
    BitmapPtr slot = Slot(BlockPicture(16, 16));
    OutputFormat missing = Format(FormatKind::Png);
    missing.encoderClsid = QUuid();
    EXPECT_FALSE(processor_.SaveImage(slot, tree_.Path("a.PNG"), missing));
    EXPECT_TRUE(processor_.SaveImage(slot, tree_.Path("a.BMP"), Format(FormatKind::Bmp)));
    EXPECT_EQ(Entries(tree_.Root()), QStringList{"a.BMP"});
}

TEST_F(LoadSave, AnExistingFileIsReplacedOnlyWhenAsked) {
    BitmapPtr slot = Slot(BlockPicture(16, 16));
    const QString target = tree_.WriteFile("a.PNG", "old bytes");
    WriteOutcome outcome;
    EXPECT_FALSE(processor_.SaveImage(slot, target, Format(FormatKind::Png), nullptr,
                                      IfExists::Fail, &outcome));
    EXPECT_EQ(outcome.kind, WriteOutcome::Kind::NameTaken);
    EXPECT_EQ(ReadAll(target), "old bytes");
    EXPECT_TRUE(processor_.SaveImage(slot, target, Format(FormatKind::Png), nullptr,
                                     IfExists::Replace, &outcome));
    EXPECT_TRUE(outcome.Written());
    EXPECT_TRUE(IsUsable(processor_.LoadImage(target).get()));
    EXPECT_EQ(Entries(tree_.Root()), QStringList{"a.PNG"});
}

TEST_F(LoadSave, CreatesMissingFolders) {
    BitmapPtr slot = Slot(BlockPicture(16, 16));
    const QString path = tree_.Path("one/two/three/a.PNG");
    EXPECT_TRUE(processor_.SaveImage(slot, path, Format(FormatKind::Png)));
    EXPECT_TRUE(IsUsable(processor_.LoadImage(path).get()));
}

struct RefusedRow {
    const char* name;
    std::function<BitmapPtr()> image;
    FormatKind kind;
    bool encoderFound;
};

class LoadSaveRefused : public LoadSave, public ::testing::WithParamInterface<RefusedRow> {};

TEST_P(LoadSaveRefused, WritesNothingAndKeepsTheTarget) {
    const RefusedRow& row = GetParam();
    OutputFormat format = Format(row.kind);
    if (!row.encoderFound) {
        format.encoderClsid = QUuid();
    }
    const QString target = tree_.WriteFile("out/target.file", "old bytes");
    BitmapPtr slot = row.image();
    EXPECT_FALSE(processor_.SaveImage(slot, target, format));
    EXPECT_EQ(ReadAll(target), "old bytes");
    EXPECT_EQ(Entries(tree_.Path("out")), QStringList{"target.file"});
}

BitmapPtr Usable() {
    return Slot(BlockPicture(4, 4));
}

INSTANTIATE_TEST_SUITE_P(
    Refused, LoadSaveRefused,
    ::testing::Values(RefusedRow{"NoBitmap", [] { return BitmapPtr(); }, FormatKind::Png, true},
                      RefusedRow{"EmptyImage", [] { return Slot(QImage()); }, FormatKind::Png,
                                 true},
                      RefusedRow{"FailedStatus",
                                 [] {
                                     return std::make_unique<Bitmap>(BlockPicture(4, 4),
                                                                     ImageStatus::DrawFailed);
                                 },
                                 FormatKind::Png, true},
                      RefusedRow{"PngWithoutEncoder", Usable, FormatKind::Png, false},
                      RefusedRow{"JpegWithoutEncoder", Usable, FormatKind::Jpeg, false},
                      RefusedRow{"UnresolvedSameAsSource", Usable, FormatKind::SameAsSource, true}),
    test::kRowName);

// --- same-as-source outputs ----------------------------------------------------------------------

TEST_F(LoadSave, SameAsSourceKeepsExtensionAsWritten) {
    const QString source = tree_.WriteFile("photo.jpeg", QtEncoded(BlockPicture(24, 24), "jpeg"));
    RawFormat raw = RawFormat::Undefined;
    BitmapPtr slot = processor_.LoadImage(source, &raw);
    OutputFormat format;
    ResolveSameAsSource(format, raw, source);
    EXPECT_EQ(format.kind, FormatKind::Jpeg);
    EXPECT_EQ(format.extension, QStringLiteral(".jpeg"));
    const QString target = tree_.Path(QStringLiteral("out/photo") + format.extension);
    ASSERT_TRUE(processor_.SaveImage(slot, target, format));
    RawFormat written = RawFormat::Undefined;
    EXPECT_TRUE(IsUsable(processor_.LoadImage(target, &written).get()));
    EXPECT_EQ(written, RawFormat::Jpeg);
}

TEST_F(LoadSave, SameAsSourceIconBecomesPngUnderItsOwnExtension) {
    if (!QtWrites("ico")) {
        GTEST_SKIP() << "no Qt writer for ico";
    }
    const QString source = tree_.WriteFile("app.ico", QtEncoded(BlockPicture(32, 32), "ico"));
    RawFormat raw = RawFormat::Undefined;
    BitmapPtr slot = processor_.LoadImage(source, &raw);
    ASSERT_EQ(raw, RawFormat::Icon);
    OutputFormat format;
    ResolveSameAsSource(format, raw, source);
    const QString target = tree_.Path(QStringLiteral("out/app") + format.extension);
    ASSERT_TRUE(processor_.SaveImage(slot, target, format));
    EXPECT_TRUE(target.endsWith(QStringLiteral(".ico")));
    EXPECT_TRUE(ReadAll(target).startsWith("\x89PNG\r\n\x1a\n"));
    RawFormat written = RawFormat::Undefined;
    EXPECT_TRUE(IsUsable(processor_.LoadImage(target, &written).get()));
    EXPECT_EQ(written, RawFormat::Png);
}

// --- atomic writes -------------------------------------------------------------------------------

TEST(AtomicWrite, ReadOnlyFolderKeepsExistingTarget) {
    TempTree tree;
    const QString open = tree.MakeFolder("open");
    const test::LockedFolder locked(tree, "locked", "out.PNG", "old bytes");
    // 0: refused in the locked folder and written in the open one, as it should be.
    const int result = test::RunUnprivileged([&] {
        ImageProcessor processor;
        BitmapPtr slot = Slot(BlockPicture(16, 16));
        if (processor.SaveImage(slot, locked.Target(), Format(FormatKind::Png))) {
            return 1;
        }
        return processor.SaveImage(slot, open + "out.PNG", Format(FormatKind::Png)) ? 0 : 2;
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(locked.Untouched());
}

TEST(AtomicWrite, OverlongNameLeavesNothingBehind) {
    TempTree tree;
    const QString folder = tree.MakeFolder("out");
    ImageProcessor processor;
    BitmapPtr slot = Slot(BlockPicture(16, 16));
    const QString name = QString(300, u'n') + QStringLiteral(".PNG");
    WriteOutcome outcome;
    EXPECT_FALSE(processor.SaveImage(slot, folder + name, Format(FormatKind::Png), nullptr,
                                     IfExists::Fail, &outcome));
    EXPECT_EQ(outcome.kind, WriteOutcome::Kind::Failed);
    EXPECT_EQ(outcome.text, QString::fromLocal8Bit(std::strerror(ENAMETOOLONG)));
    EXPECT_TRUE(Entries(folder).isEmpty());
}

}  // namespace
}  // namespace corvane
