// Writing one output file: watermark, target folder, encoder, atomic file.
//
// The watermark is drawn on a copy of the image (sharing its pixels until the first stroke), so
// the image in the slot never changes: an image saved in several formats shows the watermark
// exactly once in each file, and the next operation sees the image as it was.
//
// A failed save is reported by its false result only. No status is left on the slot's image, so
// one failed format does not swallow the save of the next one: each format succeeds or fails on
// its own.

#include "imaging/image_processor.h"
#include "imaging/metafile.h"
#include "imaging/raster_codec.h"
#include "platform/atomic_file.h"
#include "platform/file_system.h"
#include "platform/path_text.h"

namespace corvane {
namespace {

bool Encode(const QImage& image, const OutputFormat& format, QIODevice* device, WorkPool* pool) {
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
    return !format.encoderClsid.isNull() && EncodeRaster(image, format.kind, device, pool);
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

WriteOutcome Failure(const QString& text) {
    return {WriteOutcome::Kind::Failed, text};
}

WriteOutcome WriteFile(const QImage& image, const QString& path, const OutputFormat& format,
                       IfExists ifExists, WorkPool* pool) {
    AtomicFile out(PrepareTarget(path), ifExists);
    if (!out.Open()) {
        return out.Outcome();
    }
    if (!Encode(image, format, out.Device(), pool)) {
        // A full disk shows as a failed write on the file; anything else is the encoder's.
        return Failure(out.Device()->error() != QFileDevice::NoError
                           ? out.Device()->errorString()
                           : QStringLiteral("the %1 encoder could not write the picture")
                                 .arg(format.extension.mid(1)));
    }
    out.Commit();
    return out.Outcome();
}

}  // namespace

bool ImageProcessor::SaveImage(ImageSlot slot, const QString& path, const OutputFormat& format,
                               const WatermarkSettings* watermark, IfExists ifExists,
                               WriteOutcome* outcome, WorkPool* pool) const {
    const auto save = [&]() -> WriteOutcome {
        if (!IsUsable(slot.get())) {
            return Failure(QStringLiteral("there is no picture to write"));
        }
        if (watermark == nullptr || !watermark->on) {
            return WriteFile(slot->Image(), path, format, ifExists, pool);
        }
        BitmapPtr marked = std::make_unique<Bitmap>(slot->Image());
        const bool drawn = watermark->text.isEmpty()
                               ? DrawImageWatermark(marked, watermark->picture.get())
                               : DrawTextWatermark(marked, watermark->text);
        if (!drawn || marked == nullptr) {
            return Failure(QStringLiteral("the watermark could not be drawn"));
        }
        return WriteFile(marked->Image(), path, format, ifExists, pool);
    };
    const WriteOutcome result = save();
    if (outcome != nullptr) {
        *outcome = result;
    }
    return result.Written();
}

}  // namespace corvane
