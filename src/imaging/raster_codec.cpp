#include "imaging/raster_codec.h"

#include "imaging/gif_writer.h"

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
// The TIFF plugin reads its compression option as 0 = none, 1 = LZW.
constexpr int kTiffLzw = 1;

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

}  // namespace

bool EncodeRaster(const QImage& image, FormatKind kind, QIODevice* device) {
    if (image.isNull() || device == nullptr) {
        return false;
    }
    switch (kind) {
        case FormatKind::Png: return WriteWithQt(image, {"png", -1, -1}, device);
        case FormatKind::Bmp: return WriteWithQt(image, {"bmp", -1, -1}, device);
        case FormatKind::Jpeg: return WriteWithQt(image, {"jpeg", kJpegQuality, -1}, device);
        case FormatKind::Tiff: return WriteWithQt(image, {"tiff", -1, kTiffLzw}, device);
        case FormatKind::Gif: return WriteGif(image, device);
        case FormatKind::SameAsSource:
        case FormatKind::Emf:
        case FormatKind::Wmf: break;
    }
    return false;
}

}  // namespace corvane
