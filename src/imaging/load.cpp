// Decoding a source file into a bitmap.
//
// The format is always decided from the bytes, never from the name: metafiles first (Qt has no
// reader for them), then today's formats (HEIC/HEIF, AVIF, WebP, JPEG XL: today_formats.h), then
// Qt's image plugins. Untrusted files can declare any size in a few header
// bytes, so the declared size is checked against a fixed pixel bound before anything is allocated.
//
// A picture is read into memory once: it is decoded from those bytes, and its metadata read from
// the same bytes. The loader turns the pixels upright itself, as the orientation the file states
// says: Qt's reader would lose the colour profile in a quarter turn, and ignores the orientation
// of a PNG.

#include "allocation.h"
#include "imaging/image_processor.h"
#include "imaging/metadata.h"
#include "imaging/picture_memory.h"
#include "imaging/png_chunks.h"
#include "jpeg_rows.h"
#include "jpeg_turned.h"
#include "metafile/metafile.h"
#include "platform/file_system.h"
#include "quarter_turn.h"
#include "today_formats.h"
#include "truncation.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>

#include <utility>

namespace corvane {
namespace {

using Kind = LoadError::Kind;

// A metafile is read whole into memory before rendering. Real ones stay far below this; a larger
// file is refused rather than read.
constexpr qint64 kMaxMetafileBytes = qint64(1) << 30;
// Enough for every metafile signature, placeable header included.
constexpr qint64 kSniffBytes = 1024;

void SetError(LoadError* error, Kind kind, const QString& text) {
    if (error != nullptr) {
        *error = {kind, text, {}, {}};
    }
}

// Records why the file gave no picture; gives the failed bitmap that stands for it.
BitmapPtr Refuse(LoadError* error, Kind kind, const QString& text) {
    SetError(error, kind, text);
    return FailedBitmap(kind == Kind::TooLarge ? ImageStatus::OutOfMemory
                                               : ImageStatus::UnknownFormat);
}

// Why a file gave fewer bytes than it has: the system's reason, or else that it shrank (another
// program cut it short) while it was read.
QString ShortReadText(const QFile& file, qint64 got) {
    if (file.error() != QFileDevice::NoError) {
        return file.errorString();
    }
    return QStringLiteral("the file changed while it was read: %1 of its %2 bytes could be read")
        .arg(got)
        .arg(file.size());
}

QString TooLargeText(QSize size) {
    return QStringLiteral("the picture is %1 x %2 pixels, more than the %3 megapixels allowed")
        .arg(size.width())
        .arg(size.height())
        .arg(kMaxLoadPixels / (1024 * 1024));
}

RawFormat RawFormatOf(const QByteArray& qtFormat) {
    static const std::pair<const char*, RawFormat> kNames[] = {
        {"jpeg", RawFormat::Jpeg}, {"jpg", RawFormat::Jpeg}, {"png", RawFormat::Png},
        {"gif", RawFormat::Gif},   {"bmp", RawFormat::Bmp},  {"dib", RawFormat::Bmp},
        {"tiff", RawFormat::Tiff}, {"tif", RawFormat::Tiff}, {"ico", RawFormat::Icon},
        {"cur", RawFormat::Icon},
    };
    const QByteArray name = qtFormat.toLower();
    for (const auto& [qtName, raw] : kNames) {
        if (name == qtName) {
            return raw;
        }
    }
    return RawFormat::Undefined;
}

BitmapPtr LoadMetafile(QFile& file, LoadError* error) {
    if (file.size() > kMaxMetafileBytes) {
        return Refuse(error, Kind::TooLarge, QStringLiteral("the metafile is larger than 1 GiB"));
    }
    file.seek(0);
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size()) {
        return Refuse(error, Kind::Unreadable, ShortReadText(file, bytes.size()));
    }
    MetafileError why;
    QImage image = ReadMetafile(bytes, kMaxLoadPixels, &why);
    if (image.isNull()) {
        return Refuse(error, why.tooLarge ? Kind::TooLarge : Kind::Corrupt, why.text);
    }
    return std::make_unique<Bitmap>(std::move(image));
}

// Why Qt's reader gave no picture from a file it recognised.
BitmapPtr RefuseUnread(const QImageReader& reader, LoadError* error) {
    switch (reader.error()) {
        case QImageReader::DeviceError:
            return Refuse(error, Kind::Unreadable, reader.errorString());
        case QImageReader::UnsupportedFormatError:
            return Refuse(error, Kind::NotAnImage, reader.errorString());
        default:
            return Refuse(error, Kind::Corrupt,
                          QStringLiteral("damaged or truncated: %1").arg(reader.errorString()));
    }
}

// What libjpeg will hold beside the picture of a JPEG in memory (see JpegRows).
std::uint64_t JpegDecoderBytes(const QByteArray& bytes, RawFormat format) {
    if (format != RawFormat::Jpeg || bytes.isNull()) {
        return 0;
    }
    JpegRows header(bytes);
    return header.ReadHeader() ? header.CoefficientBytes() : 0;
}

// What the caller makes of the file, asked in the orientation the picture is shown in.
ImageProcessor::DecodePlan PlanOf(const QImageReader& reader, QSize declared,
                                  const QByteArray& bytes, RawFormat format,
                                  const ImageProcessor::PlanFor& plan) {
    if (!plan) {
        return {};
    }
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    return plan({turned ? declared.transposed() : declared, JpegDecoderBytes(bytes, format)});
}

// Asks the JPEG decoder to shrink while decoding when the caller needs less than the whole
// (`least`, in the orientation the picture is shown in).
void ShrinkOnLoad(QImageReader& reader, RawFormat format, QSize declared, QSize least) {
    if (format != RawFormat::Jpeg || !least.isValid() || !declared.isValid()) {
        return;
    }
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    if (turned) {
        least.transpose();
    }
    const QSize decode = JpegDecodeSize(declared, least);
    if (decode != declared) {
        reader.setScaledSize(decode);
    }
}

// The picture the decoder is handed to fill. The JPEG and PNG decoders say beforehand what size
// and format they give, and fill a picture of exactly that kind instead of making one: it is
// made in kept memory (picture_memory.h). Every other decoder makes its own.
QImage DecodeTarget(QImageReader& reader, RawFormat format, QSize declared) {
    if (format != RawFormat::Jpeg && format != RawFormat::Png) {
        return {};
    }
    const QSize size = reader.scaledSize().isValid() ? reader.scaledSize() : declared;
    const QImage::Format pixels = reader.imageFormat();
    if (!size.isValid() || pixels == QImage::Format_Invalid) {
        return {};
    }
    return NewPicture(size.width(), size.height(), pixels);
}

// The turn and mirroring an EXIF orientation (1-8) asks for, as Qt names them.
QImageIOHandler::Transformations FromExifOrientation(int orientation) {
    using T = QImageIOHandler::Transformation;
    static const QImageIOHandler::Transformations kTurns[] = {
        T::TransformationNone,
        T::TransformationMirror,
        T::TransformationRotate180,
        T::TransformationFlip,
        T::TransformationFlipAndRotate90,
        T::TransformationRotate90,
        T::TransformationMirrorAndRotate90,
        T::TransformationRotate270,
    };
    return orientation >= 1 && orientation <= 8 ? kTurns[orientation - 1] : T::TransformationNone;
}

// Mirrors, then turns a quarter clockwise, as `how` says; the colour space stays.
QImage Upright(QImage image, QImageIOHandler::Transformations how) {
    if (how == QImageIOHandler::TransformationNone) {
        return image;
    }
    const QColorSpace space = image.colorSpace();
    image = std::move(image).mirrored(how.testFlag(QImageIOHandler::TransformationMirror),
                                      how.testFlag(QImageIOHandler::TransformationFlip));
    image.setColorSpace(space);
    return how.testFlag(QImageIOHandler::TransformationRotate90) ? TurnQuarter(image, 90) : image;
}

// The metadata of the bytes a picture was decoded from; none when it was decoded from the file.
MetadataRead ReadMetadataOf(const QByteArray& bytes, const QImage& image, LoadError* error) {
    MetadataRead metadata;
    if (bytes.isNull()) {
        metadata.problem =
            QStringLiteral("the file is larger than %1 MiB: its metadata is not read")
                .arg(kMaxInMemoryFileBytes >> 20);
    } else {
        QMap<QString, QString> texts;
        for (const QString& key : image.textKeys()) {
            texts.insert(key, image.text(key));
        }
        metadata = ReadMetadata(bytes, texts);
    }
    if (error != nullptr) {
        error->metadataProblem = metadata.problem;
    }
    return metadata;
}

// An icon file holds the same picture at several sizes; the largest one is the picture.
void JumpToLargestIcon(QImageReader& reader) {
    int largest = 0;
    qint64 largestArea = -1;
    for (int i = 0; i < reader.imageCount(); ++i) {
        if (!reader.jumpToImage(i)) {
            break;
        }
        const QSize size = reader.size();
        if (qint64(size.width()) * size.height() > largestArea) {
            largestArea = qint64(size.width()) * size.height();
            largest = i;
        }
    }
    reader.jumpToImage(largest);
}

// Decodes a JPEG that needs no turn of its own and no shrinking straight into its picture turned
// by `turn`, when asked to. Null when not asked or the decoder does not take it (the caller
// decodes it as usual); `damaged` says why a damaged file gave nothing.
QImage DecodeTurned(const QByteArray& bytes, const QImageReader& reader, RawFormat format, int turn,
                    QString* damaged) {
    if (turn == 0 || format != RawFormat::Jpeg || bytes.isNull() || reader.scaledSize().isValid() ||
        reader.transformation() != QImageIOHandler::TransformationNone) {
        return {};
    }
    TurnedJpeg decoded = DecodeJpegTurned(bytes, turn);
    if (decoded.outcome == TurnedJpeg::Outcome::Damaged) {
        *damaged = decoded.error;
    }
    return std::move(decoded.image);
}

BitmapPtr LoadWithQt(QFile& file, RawFormat* raw, const ImageProcessor::PlanFor& plan, int turn,
                     bool* turned, LoadError* error) {
    file.seek(0);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QIODevice* device = &file;
    if (file.size() <= kMaxInMemoryFileBytes) {
        bytes = file.readAll();
        if (bytes.size() != file.size()) {
            return Refuse(error, Kind::Unreadable, ShortReadText(file, bytes.size()));
        }
        if (!PngChunksFit(bytes)) {
            return Refuse(error, Kind::Corrupt,
                          QStringLiteral("damaged or truncated: a chunk runs past the end"));
        }
        buffer.open(QIODevice::ReadOnly);
        device = &buffer;
    }
    QImageReader reader(device);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    if (!reader.canRead()) {
        return Refuse(error, Kind::NotAnImage,
                      file.size() == 0
                          ? QStringLiteral("the file is empty")
                          : QStringLiteral("not a picture in a format that can be read"));
    }
    // Asked before anything else moves the device: some handlers (ICO) name their format only
    // while it sits at the start of the image.
    const RawFormat format = RawFormatOf(reader.format());
    if (format == RawFormat::Icon) {
        JumpToLargestIcon(reader);
    }
    const QSize declared = reader.size();
    if (declared.isValid() && qint64(declared.width()) * declared.height() > kMaxLoadPixels) {
        return Refuse(error, Kind::TooLarge, TooLargeText(declared));
    }
    const ImageProcessor::DecodePlan decodePlan = PlanOf(reader, declared, bytes, format, plan);
    if (!decodePlan.refusal.isEmpty()) {
        return Refuse(error, Kind::TooLarge, decodePlan.refusal);
    }
    ShrinkOnLoad(reader, format, declared, decodePlan.least);
    QString damaged;
    QImage image = DecodeTurned(bytes, reader, format, turn, &damaged);
    if (!damaged.isEmpty()) {
        return Refuse(error, Kind::Corrupt,
                      QStringLiteral("damaged or truncated: %1").arg(damaged));
    }
    *turned = !image.isNull();
    if (!*turned) {
        image = DecodeTarget(reader, format, declared);  // gets the colour space attached
        if (!reader.read(&image)) {
            return RefuseUnread(reader, error);
        }
    }
    if (image.isNull()) {
        return Refuse(error, Kind::Corrupt, QStringLiteral("the decoder gave no picture"));
    }
    // Qt gives files named "...@2x.png" a pixel ratio of 2; a batch tool works in image pixels.
    image.setDevicePixelRatio(1.0);
    if (raw != nullptr) {
        *raw = format;
    }
    MetadataRead metadata = ReadMetadataOf(bytes, image, error);
    if (error != nullptr && !bytes.isNull()) {
        error->truncated = TruncationOf(bytes, format);
    }
    const bool readerTurns = reader.supportsOption(QImageIOHandler::ImageTransformation);
    image = Upright(std::move(image), readerTurns ? reader.transformation()
                                                  : FromExifOrientation(metadata.orientation));
    auto bitmap = std::make_unique<Bitmap>(std::move(image));
    bitmap->SetMetadata(std::move(metadata.metadata));
    return bitmap;
}

// Today's formats, recognised from their first bytes; Undefined for any other.
RawFormat SniffTodayFormat(QByteArrayView head) {
    if (RecogniseWebp(head)) {
        return RawFormat::Webp;
    }
    if (RecogniseJxl(head)) {
        return RawFormat::Jxl;
    }
    return RecogniseHeif(head);
}

TodayPicture DecodeToday(const QByteArray& bytes, RawFormat format) {
    switch (format) {
        case RawFormat::Webp:
            return DecodeWebp(bytes, kMaxLoadPixels);
        case RawFormat::Jxl:
            return DecodeJxl(bytes, kMaxLoadPixels);
        default:
            return DecodeHeif(bytes, kMaxLoadPixels);
    }
}

// A picture of today's formats: read whole into memory (their decoders and metadata want the
// bytes), decoded, turned as its container says, its metadata read from the container's blocks.
BitmapPtr LoadTodayFormat(QFile& file, RawFormat format, RawFormat* raw, LoadError* error) {
    if (file.size() > kMaxInMemoryFileBytes) {
        return Refuse(
            error, Kind::TooLarge,
            QStringLiteral("the file is larger than %1 MiB").arg(kMaxInMemoryFileBytes >> 20));
    }
    file.seek(0);
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size()) {
        return Refuse(error, Kind::Unreadable, file.errorString());
    }
    TodayPicture picture = DecodeToday(bytes, format);
    if (picture.image.isNull()) {
        return Refuse(error, picture.failure.kind, picture.failure.text);
    }
    MetadataRead metadata = picture.jpeg.isEmpty() ? ReadMetadataBlocks(picture.exif, picture.xmp)
                                                   : ReadMetadata(picture.jpeg);
    if (error != nullptr) {
        error->metadataProblem =
            metadata.problem.isEmpty() ? picture.metadataProblem : metadata.problem;
        error->toneMapped = picture.note;
    }
    if (raw != nullptr) {
        *raw =
            format == RawFormat::Webp && IsLosslessWebp(bytes) ? RawFormat::WebpLossless : format;
    }
    QImage image = picture.containerTurns ? std::move(picture.image)
                                          : Upright(std::move(picture.image),
                                                    FromExifOrientation(metadata.orientation));
    auto bitmap = std::make_unique<Bitmap>(std::move(image));
    bitmap->SetMetadata(std::move(metadata.metadata));
    return bitmap;
}

// The plan of a picture whose decoder gives its size only with its pixels.
BitmapPtr PlannedAfterDecoding(BitmapPtr bitmap, const ImageProcessor::PlanFor& plan,
                               LoadError* error) {
    if (!plan || bitmap->Image().isNull()) {
        return bitmap;
    }
    const QString refusal = plan({bitmap->Image().size()}).refusal;
    return refusal.isEmpty() ? std::move(bitmap) : Refuse(error, Kind::TooLarge, refusal);
}

}  // namespace

BitmapPtr ImageProcessor::LoadImage(const QString& path, RawFormat* raw, const PlanFor& plan,
                                    LoadError* error, int turn, bool* turned) const {
    bool turnedHere = false;
    if (turned == nullptr) {
        turned = &turnedHere;
    }
    *turned = false;
    if (raw != nullptr) {
        *raw = RawFormat::Undefined;
    }
    if (error != nullptr) {
        *error = {};
    }
    if (!PathExists(path)) {
        SetError(error, Kind::Unreadable, QStringLiteral("no such file"));
        return nullptr;
    }
    // Folders, pipes and devices are not pictures; a pipe or a device could also block or never
    // end. Opened through the platform, so that names that are not UTF-8 and paths beyond the
    // system's limit open too.
    QString why;
    QFile file;
    if (!OpenRegularFile(path, file, &why)) {
        return Refuse(error, Kind::Unreadable, why);
    }
    const QByteArray head = file.peek(kSniffBytes);
    const MetafileKind metafile = SniffMetafile(head);
    if (const RawFormat today = SniffTodayFormat(head);
        metafile == MetafileKind::None && today != RawFormat::Undefined) {
        return PlannedAfterDecoding(LoadTodayFormat(file, today, raw, error), plan, error);
    }
    if (metafile == MetafileKind::None) {
        return LoadWithQt(file, raw, plan, turn, turned, error);
    }
    BitmapPtr bitmap = LoadMetafile(file, error);
    if (raw != nullptr && !bitmap->Image().isNull()) {
        *raw = metafile == MetafileKind::Emf ? RawFormat::Emf : RawFormat::Wmf;
    }
    return PlannedAfterDecoding(std::move(bitmap), plan, error);
}

}  // namespace corvane
