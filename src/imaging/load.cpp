// Decoding a source file into a bitmap.
//
// The format is always decided from the bytes, never from the name: metafiles first (Qt has no
// reader for them), then Qt's image plugins. Untrusted files can declare any size in a few header
// bytes, so the declared size is checked against a fixed pixel bound before anything is allocated.

#include "imaging/image_processor.h"
#include "imaging/metafile.h"
#include "platform/file_system.h"

#include <QFile>
#include <QImageReader>

#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace corvane {
namespace {

// 2^29 pixels (512 megapixels, 2 GiB as ARGB32, e.g. 23170 x 23170): above any camera frame and
// most stitched panoramas, yet a forged header cannot make one load take more than a few GiB.
constexpr qint64 kMaxPixels = qint64(1) << 29;
// Qt's own allocation check is the backstop for handlers that cannot tell the size before
// decoding; it must let through any image within the pixel bound at the widest decoded pixel
// (64-bit RGBA, for 16-bit PNG and TIFF).
constexpr int kAllocationLimitMiB = int(kMaxPixels * 8 / (1024 * 1024));
// A metafile is read whole into memory before rendering. Real ones stay far below this; a larger
// file is refused rather than read.
constexpr qint64 kMaxMetafileBytes = qint64(1) << 30;
// Enough for every metafile signature, placeable header included.
constexpr qint64 kSniffBytes = 1024;

#if defined(__GLIBC__)
// Picture-sized blocks (a megapixel at 4 bytes and up) are mapped from the system and unmapped
// when freed. By default glibc raises this threshold as large blocks are freed, up to 32 MiB, and
// from then on serves pictures below that from its heap, which never shrinks past a block still
// in use: over a batch the freed gaps pile up (about 30 MiB more at the peak over the bench
// corpus than any one of its files needs). Fresh pages cost some system time; the peak stays at
// what the largest file needs.
constexpr int kSystemBlockBytes = 4 * 1024 * 1024;
#endif

void PrepareProcessForDecoding() {
    // Process-wide settings: made once, thread-safely, before the first decode.
    static const bool prepared = [] {
        QImageReader::setAllocationLimit(kAllocationLimitMiB);
#if defined(__GLIBC__)
        mallopt(M_MMAP_THRESHOLD, kSystemBlockBytes);
#endif
        return true;
    }();
    (void)prepared;
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

BitmapPtr Failed(ImageStatus status) {
    return std::make_unique<Bitmap>(QImage(), status);
}

BitmapPtr LoadMetafile(QFile& file) {
    if (file.size() > kMaxMetafileBytes) {
        return Failed(ImageStatus::OutOfMemory);
    }
    file.seek(0);
    QString why;  // why the file gave no picture, for the load's own reason
    QImage image = ReadMetafile(file.readAll(), kMaxPixels, &why);
    if (image.isNull()) {
        return Failed(ImageStatus::UnknownFormat);
    }
    return std::make_unique<Bitmap>(std::move(image));
}

// The smallest size libjpeg can decode at (1/2, 1/4 or 1/8) that still covers `least` on both
// sides; the declared size when none is smaller. Rounded down, so that Qt's JPEG reader picks
// exactly that libjpeg scale. `declared` and `least` are in the stored orientation.
QSize JpegDecodeSize(QSize declared, QSize least) {
    QSize best = declared;
    for (const int denominator : {2, 4, 8}) {
        const QSize scaled(declared.width() / denominator, declared.height() / denominator);
        if (scaled.width() < least.width() || scaled.height() < least.height()) {
            break;
        }
        best = scaled;
    }
    return best;
}

// Asks the JPEG decoder to shrink while decoding when the caller needs less than the whole.
void ShrinkOnLoad(QImageReader& reader, RawFormat format, QSize declared,
                  const ImageProcessor::LeastSizeFor& leastSize) {
    if (format != RawFormat::Jpeg || !leastSize || !declared.isValid()) {
        return;
    }
    // The caller thinks in the orientation the picture is shown in.
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize shown = turned ? declared.transposed() : declared;
    QSize least = leastSize(shown);
    if (!least.isValid()) {
        return;
    }
    if (turned) {
        least.transpose();
    }
    const QSize decode = JpegDecodeSize(declared, least);
    if (decode != declared) {
        reader.setScaledSize(decode);
    }
}

BitmapPtr LoadWithQt(QFile& file, RawFormat* raw, const ImageProcessor::LeastSizeFor& leastSize) {
    file.seek(0);
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead()) {
        return Failed(ImageStatus::UnknownFormat);
    }
    // Asked before anything else moves the device: some handlers (ICO) name their format only
    // while it sits at the start of the image.
    const RawFormat format = RawFormatOf(reader.format());
    const QSize declared = reader.size();
    if (declared.isValid() && qint64(declared.width()) * declared.height() > kMaxPixels) {
        return Failed(ImageStatus::OutOfMemory);
    }
    ShrinkOnLoad(reader, format, declared, leastSize);
    QImage image;  // keeps the colour space the decoder attached
    if (!reader.read(&image) || image.isNull()) {
        return Failed(ImageStatus::UnknownFormat);
    }
    // Qt gives files named "...@2x.png" a pixel ratio of 2; a batch tool works in image pixels.
    image.setDevicePixelRatio(1.0);
    if (raw != nullptr) {
        *raw = format;
    }
    return std::make_unique<Bitmap>(std::move(image));
}

}  // namespace

BitmapPtr ImageProcessor::LoadImage(const QString& path, RawFormat* raw,
                                    const LeastSizeFor& leastSize) const {
    if (raw != nullptr) {
        *raw = RawFormat::Undefined;
    }
    if (!PathExists(path)) {
        return nullptr;
    }
    PrepareProcessForDecoding();
    // Folders, pipes and devices are not pictures; a pipe or a device could also block or never
    // end.
    QFile file(path);
    if (!IsRegularFile(path) || !file.open(QIODevice::ReadOnly)) {
        return Failed(ImageStatus::UnknownFormat);
    }
    const RawFormat metafile = SniffMetafile(file.peek(kSniffBytes));
    if (metafile == RawFormat::Undefined) {
        return LoadWithQt(file, raw, leastSize);
    }
    BitmapPtr bitmap = LoadMetafile(file);
    if (raw != nullptr && !bitmap->Image().isNull()) {
        *raw = metafile;
    }
    return bitmap;
}

}  // namespace corvane
