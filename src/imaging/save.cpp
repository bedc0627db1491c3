// Writing one output file: watermark, target folder, encoder, metadata, atomic replace.
//
// A picture with metadata is encoded into memory first and the metadata put into those bytes, so
// that the file is written once, whole; when the metadata cannot be put in, the picture is
// written without it.
//
// The watermark is drawn on a copy of the image (sharing its pixels until the first stroke), so
// the image in the slot never changes: an image saved in several formats shows the watermark
// exactly once in each file, and the next operation sees the image as it was.
//
// A failed save is reported by its false result only. No status is left on the slot's image, so
// one failed format does not swallow the save of the next one: each format succeeds or fails on
// its own.

#include "allocation.h"
#include "imaging/image_processor.h"
#include "imaging/metadata.h"
#include "imaging/metafile.h"
#include "imaging/raster_codec.h"
#include "platform/atomic_file.h"
#include "platform/file_system.h"
#include "platform/path_text.h"

#include <QBuffer>

namespace corvane {
namespace {

bool Encode(const QImage& image, const OutputFormat& format, QIODevice* device) {
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
    return !format.encoderClsid.isNull() && EncodeRaster(image, format.kind, device);
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

bool EncodeWithMetadata(const QImage& image, const OutputFormat& format,
                        const ImageMetadata& metadata, QIODevice* device, QString* problem) {
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!Encode(image, format, &buffer)) {
        return false;
    }
    const MetadataWrite result =
        WriteWithMetadata(encoded, format.kind, metadata, image.size(), device);
    if (result.inserted) {
        return result.written;
    }
    if (problem != nullptr) {
        *problem = result.problem;
    }
    return device->write(encoded) == encoded.size();
}

bool WriteFile(const Bitmap& image, const QString& path, const OutputFormat& format,
               QString* metadataProblem) {
    AtomicFile out(PrepareTarget(path));
    if (!out.Open()) {
        return false;
    }
    const ImageMetadata* metadata = image.Metadata().get();
    const bool encoded =
        metadata != nullptr && HoldsMetadata(format.kind)
            ? EncodeWithMetadata(image.Image(), format, *metadata, out.Device(), metadataProblem)
            : Encode(image.Image(), format, out.Device());
    return encoded && out.Commit();
}

}  // namespace

bool ImageProcessor::SaveImage(ImageSlot slot, const QString& path, const OutputFormat& format,
                               const WatermarkSettings* watermark, QString* metadataProblem) const {
    if (!IsUsable(slot.get())) {
        return false;
    }
    if (watermark == nullptr || !watermark->on) {
        return WriteFile(*slot, path, format, metadataProblem);
    }
    BitmapPtr marked = DerivedBitmap(slot->Image(), *slot);
    const bool drawn = watermark->text.isEmpty()
                           ? DrawImageWatermark(marked, watermark->picture.get())
                           : DrawTextWatermark(marked, watermark->text);
    return drawn && marked != nullptr && WriteFile(*marked, path, format, metadataProblem);
}

}  // namespace corvane
