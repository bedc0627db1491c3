#include "imaging/raster_codec.h"

#include "imaging/gif_writer.h"
#include "jpeg_writer.h"
#include "metadata_stream.h"
#include "png_writer.h"
#include "today_formats.h"

#include <QColorSpace>
#include <QImageWriter>

namespace corvane {
namespace {

// Settings handed to QImageWriter; -1 leaves the plugin's own default.
struct QtEncoding {
    const char* format;
    int quality;
    int compression;
};

constexpr int kJpegQuality = 75;
// For the pictures our PNG writer does not take: zlib level 4 instead of libpng's 6. On
// photographs level 6 spends twice the time for files about 4% smaller; level 4 is the lowest
// level that still does lazy matching, which flat artwork needs (below it such files come out
// twice as large). Qt's PNG writer takes 0-100 here and hands zlib value * 9 / 91, so 50 is
// level 4.
constexpr int kPngCompression = 50;
// The TIFF plugin reads its compression option as 0 = none, 1 = LZW.
constexpr int kTiffLzw = 1;

bool IsOpaque(const QImage& argb) {
    for (int y = 0; y < argb.height(); ++y) {
        const auto* pixels = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        QRgb all = 0xFFFFFFFFu;
        for (int x = 0; x < argb.width(); ++x) {
            all &= pixels[x];
        }
        if (qAlpha(all) != 0xFF) {
            return false;
        }
    }
    return true;
}

// The image's pixels, seen in `format` (sharing them), with what the encoders store besides them -
// colour profile, resolution, colour table - but without its text. Qt's writers would store the
// text as comments and text chunks of their own; the picture's metadata, comments included, is
// written once, by the metadata step.
QImage PixelsOnly(const QImage& image, QImage::Format format) {
    QImage view(image.constBits(), image.width(), image.height(), image.bytesPerLine(), format);
    view.setColorTable(image.colorTable());
    view.setColorSpace(image.colorSpace());
    view.setDotsPerMeterX(image.dotsPerMeterX());
    view.setDotsPerMeterY(image.dotsPerMeterY());
    view.setOffset(image.offset());
    return view;
}

// Every resize and free rotation gives ARGB32, mostly without a single translucent pixel; PNG
// (and WebP and AVIF, which would otherwise add an alpha plane) stores such an image as RGB, a
// quarter less to filter and deflate (about a fifth less time, a seventh smaller file) for the same
// pixels. The RGB32 view is possible because the layouts are the same when every alpha byte is
// 0xFF.
QImage::Format OpaqueViewFormat(const QImage& image) {
    return image.format() == QImage::Format_ARGB32 && IsOpaque(image) ? QImage::Format_RGB32
                                                                      : image.format();
}

bool WriteWithQt(const QImage& image, const QtEncoding& encoding, QIODevice* device) {
    QImageWriter writer(device, encoding.format);
    if (encoding.quality >= 0) {
        writer.setQuality(encoding.quality);
    }
    if (encoding.compression >= 0) {
        writer.setCompression(encoding.compression);
    }
    // The plugins write the image's colour space (ICC profile) themselves where the format has
    // room for one.
    return writer.write(image);
}

// Our writer for the common 8-bit formats, Qt's for the rest (indexed, 16-bit, premultiplied...).
bool WritePngOf(const QImage& image, QIODevice* device, WorkPool* pool,
                const MetadataBlocks* metadata) {
    if (CanWritePng(image)) {
        return WritePng(
            image, device, pool,
            metadata != nullptr ? PngMetadataChunks(*metadata) : std::vector<PngChunk>{});
    }
    return metadata == nullptr && WriteWithQt(image, {"png", -1, kPngCompression}, device);
}

// Our writer for the common formats (the same file as Qt's, a little sooner), Qt's for the rest.
bool WriteJpegOf(const QImage& image, QIODevice* device) {
    return CanWriteJpeg(image) ? WriteJpegFile(image, kJpegQuality, device)
                               : WriteWithQt(image, {"jpeg", kJpegQuality, -1}, device);
}

bool WriteJpeg(const QImage& image, QIODevice* device, const MetadataBlocks* metadata) {
    if (metadata == nullptr) {
        return WriteJpegOf(image, device);
    }
    std::optional<QByteArray> segments = JpegMetadataSegments(*metadata);
    if (!segments) {
        return false;
    }
    JpegSegmentSplicer splicer(device, std::move(*segments));
    return WriteJpegOf(image, &splicer) && splicer.Spliced();
}

}  // namespace

bool EncodeRaster(const QImage& image, FormatKind kind, QIODevice* device, WorkPool* pool,
                  const MetadataBlocks* metadata, bool lossless) {
    if (image.isNull() || device == nullptr) {
        return false;
    }
    switch (kind) {
        case FormatKind::Png:
            return WritePngOf(PixelsOnly(image, OpaqueViewFormat(image)), device, pool, metadata);
        case FormatKind::Bmp:
            return WriteWithQt(image, {"bmp", -1, -1}, device);
        case FormatKind::Jpeg:
            return WriteJpeg(PixelsOnly(image, image.format()), device, metadata);
        case FormatKind::Tiff:
            return WriteWithQt(PixelsOnly(image, image.format()), {"tiff", -1, kTiffLzw}, device);
        case FormatKind::Gif:
            return WriteGif(image, device);
        case FormatKind::Webp:
            return WriteWebp(PixelsOnly(image, OpaqueViewFormat(image)), lossless, metadata,
                             device);
        case FormatKind::Avif:
            return WriteAvif(PixelsOnly(image, OpaqueViewFormat(image)), metadata, device);
        case FormatKind::SameAsSource:
        case FormatKind::Emf:
        case FormatKind::Wmf:
            break;
    }
    return false;
}

bool StreamsMetadata(const QImage& image, FormatKind kind, const MetadataBlocks& metadata) {
    switch (kind) {
        case FormatKind::Jpeg:
            return JpegMetadataSegments(metadata).has_value();
        case FormatKind::Png:
            // The view EncodeRaster writes is RGB32 or the image's own format.
            return CanWritePng(image);
        case FormatKind::Webp:
        case FormatKind::Avif:
            return true;
        default:
            return false;
    }
}

}  // namespace corvane
