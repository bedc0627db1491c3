// Writing one output file: watermark, target folder, encoder, metadata, atomic file.
//
// A JPEG, or a PNG of our own writer, gets its metadata as it is written. Any other picture with
// metadata is encoded into memory first and the metadata put into those bytes (a TIFF by a
// directory appended after them), so that the file is written once, whole. When the metadata
// cannot be put in, the picture is written without it.
//
// The watermark is drawn on a copy of the image (sharing its pixels until the first stroke), so
// the image in the slot never changes: an image saved in several formats shows the watermark
// exactly once in each file, and the next operation sees the image as it was.
//
// A failed save is reported by its false result only. No status is left on the slot's image, so
// one failed format does not swallow the save of the next one: each format succeeds or fails on
// its own.

#include "allocation.h"
#include "encoding_target.h"
#include "imaging/image_processor.h"
#include "imaging/metadata.h"
#include "imaging/raster_codec.h"
#include "metadata_stream.h"
#include "metafile/metafile.h"
#include "platform/atomic_file.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "tiff_metadata.h"

#include <QBuffer>

#include <functional>

namespace corvane {
namespace {

// Rewriting a file with its metadata holds the encoded file in memory, and Exiv2 copies it once
// more; a picture with more pixel data than this that needs the rewrite is written straight into
// the file, without metadata.
constexpr qint64 kMaxMetadataPixelBytes = qint64(1) << 30;
constexpr qint64 kEncodedHeadroom = 64 * 1024;

bool Encode(const QImage& image, const OutputFormat& format, QIODevice* device, WorkPool* pool,
            const MetadataBlocks* metadata = nullptr) {
    switch (format.kind) {
        case FormatKind::Emf:
            return WriteEmf(image, device);
        case FormatKind::Wmf:
            return WriteWmf(image, device);
        case FormatKind::SameAsSource:
            return false;  // not resolved for this file
        default:
            break;
    }
    // A raster format whose encoder was not found is never written.
    return !format.encoderClsid.isNull() &&
           EncodeRaster(image, format.kind, device, pool, metadata, format.lossless);
}

// Creates the missing folders of the target (the result is not checked: a missing folder shows
// as a failed write) and gives the path to write, in the form under which the folders were made.
QString PrepareTarget(const QString& path) {
    QString folder = FolderPart(path);
    if (folder.isEmpty()) {
        return path;  // relative to the working folder, which exists
    }
    CreateFolderChain(folder);
    return folder + FileNamePart(path);
}

// The format's name in texts: its extension without the dot ("PNG"); a format not resolved for
// the file has none.
QString FormatName(const OutputFormat& format) {
    return format.extension.isEmpty() ? QStringLiteral("picture")
                                      : format.extension.mid(1).toUpper();
}

WriteOutcome Failure(const QString& text) {
    return {WriteOutcome::Kind::Failed, text};
}

// The metadata to put into the output; none when there is none or the format cannot hold it.
const ImageMetadata* MetadataToWrite(const Bitmap& image, FormatKind kind) {
    const ImageMetadata* metadata = image.Metadata().get();
    return metadata != nullptr && HoldsMetadata(kind) ? metadata : nullptr;
}

void Report(QString* problem, const QString& text) {
    if (problem != nullptr) {
        *problem = text;
    }
}

// Encodes into memory and puts the metadata into those bytes: a TIFF gets a directory appended
// after them; anything else, or a TIFF that cannot take it so, is rewritten by Exiv2.
bool RewriteWithMetadata(const QImage& image, const OutputFormat& format,
                         const ImageMetadata& metadata, const MetadataBlocks& blocks,
                         QIODevice* device, QString* problem, WorkPool* pool) {
    if (image.sizeInBytes() > kMaxMetadataPixelBytes) {
        Report(problem, QStringLiteral("the picture is larger than %1 MiB: it is written without "
                                       "its metadata")
                            .arg(kMaxMetadataPixelBytes >> 20));
        return Encode(image, format, device, pool);
    }
    QByteArray encoded;
    // Room for the picture uncompressed: growing the buffer would copy it again and again.
    encoded.reserve(image.sizeInBytes() + kEncodedHeadroom);
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!Encode(image, format, &buffer, pool)) {
        return false;
    }
    if (format.kind == FormatKind::Tiff) {
        if (const std::optional<QByteArray> tail =
                AppendTiffMetadata(encoded, blocks.exif, blocks.xmp, blocks.iptcDatasets)) {
            return device->write(encoded) == encoded.size() && device->write(*tail) == tail->size();
        }
    }
    const MetadataWrite result =
        WriteWithMetadata(encoded, format.kind, metadata, image.size(), device);
    if (result.inserted) {
        return result.written;
    }
    Report(problem, result.problem);
    return device->write(encoded) == encoded.size();
}

bool EncodeWithMetadata(const QImage& image, const OutputFormat& format,
                        const ImageMetadata& metadata, QIODevice* device, QString* problem,
                        WorkPool* pool) {
    QString blocksProblem;
    std::optional<MetadataBlocks> blocks =
        EncodeMetadataBlocks(metadata, image.size(), &blocksProblem);
    if (!blocks) {
        Report(problem, blocksProblem);
        return Encode(image, format, device, pool);
    }
    const bool webpOrAvif = format.kind == FormatKind::Webp || format.kind == FormatKind::Avif;
    if (format.kind == FormatKind::Jpeg || webpOrAvif) {
        const QString leftOut = webpOrAvif ? LeaveOutWhatWebpAndAvifCannotHold(*blocks)
                                           : LeaveOutWhatNoJpegSegmentHolds(*blocks);
        if (!leftOut.isEmpty()) {
            Report(problem, leftOut);
        }
    }
    if (StreamsMetadata(image, format.kind, *blocks)) {
        return Encode(image, format, device, pool, &*blocks);
    }
    return RewriteWithMetadata(image, format, metadata, *blocks, device, problem, pool);
}

// The bytes of one output, with the image's metadata where its format holds some.
bool EncodeOutput(const Bitmap& image, const OutputFormat& format, QIODevice* device,
                  QString* metadataProblem, WorkPool* pool) {
    const ImageMetadata* metadata = MetadataToWrite(image, format.kind);
    return metadata != nullptr
               ? EncodeWithMetadata(image.Image(), format, *metadata, device, metadataProblem, pool)
               : Encode(image.Image(), format, device, pool);
}

// Why writing into the temporary file failed: the system's reason when the file has one, else
// the encoder's. A write that fills the disk is cut short without an error of its own (the
// system wrote what fitted); one more byte then gets the system's reason ("No space left on
// device"). The temporary file is thrown away in any case.
QString WhyWriteFailed(QFile& file, const QString& encoderFailure) {
    if (file.error() == QFileDevice::NoError) {
        file.write("", 1);
        file.flush();
    }
    return file.error() != QFileDevice::NoError ? file.errorString() : encoderFailure;
}

// `what` names the writer in a failure that is not the file's: "the PNG encoder".
WriteOutcome WriteFile(const QString& path, IfExists ifExists,
                       const std::function<bool(QIODevice*)>& write, const QString& what) {
    AtomicFile out(PrepareTarget(path), ifExists);
    if (!out.Open()) {
        return out.Outcome();
    }
    if (!write(out.Device())) {
        return Failure(WhyWriteFailed(*out.Device(),
                                      QStringLiteral("%1 could not write the picture").arg(what)));
    }
    out.Commit();
    return out.Outcome();
}

}  // namespace

const Bitmap* ImageProcessor::PictureToWrite(ImageSlot slot, const WatermarkSettings* watermark,
                                             BitmapPtr& marked, WriteOutcome* failure) const {
    if (!IsUsable(slot.get())) {
        *failure = Failure(QStringLiteral("there is no picture to write"));
        return nullptr;
    }
    if (watermark == nullptr || !watermark->on) {
        return slot.get();
    }
    marked = DerivedBitmap(slot->Image(), *slot);
    const bool drawn = watermark->text.isEmpty()
                           ? DrawImageWatermark(marked, watermark->picture.get())
                           : DrawTextWatermark(marked, watermark->text);
    if (!drawn || marked == nullptr) {
        *failure = Failure(QStringLiteral("the watermark could not be drawn"));
        return nullptr;
    }
    return marked.get();
}

bool ImageProcessor::SaveImage(ImageSlot slot, const QString& path, const OutputFormat& format,
                               const WatermarkSettings* watermark, IfExists ifExists,
                               WriteOutcome* outcome, QString* metadataProblem,
                               WorkPool* pool) const {
    BitmapPtr marked;
    WriteOutcome result;
    if (const Bitmap* picture = PictureToWrite(slot, watermark, marked, &result)) {
        result = WriteFile(
            path, ifExists,
            [&](QIODevice* device) {
                return EncodeOutput(*picture, format, device, metadataProblem, pool);
            },
            QStringLiteral("the %1 encoder").arg(FormatName(format)));
    }
    if (outcome != nullptr) {
        *outcome = result;
    }
    return result.Written();
}

bool ImageProcessor::EncodeImage(ImageSlot slot, const OutputFormat& format,
                                 const WatermarkSettings* watermark, EncodedFile* encoded,
                                 WorkPool* pool) const {
    BitmapPtr marked;
    WriteOutcome failure;
    const Bitmap* picture = PictureToWrite(slot, watermark, marked, &failure);
    // The largest pictures are left to SaveImage, which writes them without a copy in memory.
    if (picture == nullptr || picture->Image().sizeInBytes() > kMaxMetadataPixelBytes) {
        return false;
    }
    EncodingTarget target(*encoded);
    return EncodeOutput(*picture, format, target.Device(), &encoded->metadataProblem, pool);
}

WriteOutcome ImageProcessor::WriteEncoded(const EncodedFile& encoded, const QString& path,
                                          IfExists ifExists) {
    return WriteFile(
        path, ifExists,
        [&](QIODevice* device) {
            return encoded.spill ? encoded.spill->CopyTo(device)
                                 : device->write(encoded.bytes) == encoded.bytes.size();
        },
        QStringLiteral("the file system"));
}

}  // namespace corvane
