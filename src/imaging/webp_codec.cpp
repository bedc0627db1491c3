// WebP through libwebp: reading a still picture or the first frame of an animation, writing lossy
// or lossless WebP with its metadata and colour profile. Every call into libwebp is in this file.
//
// A still picture is decoded straight into its QImage: libwebp's BGRA order is the memory order of
// ARGB32 on little-endian machines, and of RGB32 when every alpha is 255.

#include "imaging/picture_memory.h"
#include "today_formats.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <QColorSpace>
#include <QtEndian>

#include <cstring>
#include <memory>

namespace corvane {
namespace {

using Kind = LoadError::Kind;

struct DemuxFree {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct AnimFree {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};
struct MuxFree {
    void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};

// The data of the first chunk named `fourcc`; empty when there is none.
QByteArray Chunk(const WebPDemuxer* demux, const char* fourcc) {
    WebPChunkIterator iterator;
    QByteArray data;
    if (WebPDemuxGetChunk(demux, fourcc, 1, &iterator)) {
        data = QByteArray(reinterpret_cast<const char*>(iterator.chunk.bytes),
                          qsizetype(iterator.chunk.size));
        WebPDemuxReleaseChunkIterator(&iterator);
    }
    return data;
}

// Some writers put the JPEG segment's "Exif\0\0" before the TIFF structure.
QByteArray WithoutExifPrefix(QByteArray exif) {
    return exif.startsWith(QByteArrayView("Exif\0\0", 6)) ? exif.mid(6) : exif;
}

QImage DecodeStill(const QByteArray& bytes, int width, int height, bool alpha) {
    QImage image = NewPicture(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    WebPDecoderConfig config;
    if (image.isNull() || !WebPInitDecoderConfig(&config)) {
        return {};
    }
    config.output.colorspace = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? MODE_BGRA : MODE_ARGB;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = image.bits();
    config.output.u.RGBA.stride = int(image.bytesPerLine());
    config.output.u.RGBA.size = size_t(image.sizeInBytes());
    const VP8StatusCode status = WebPDecode(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                            size_t(bytes.size()), &config);
    WebPFreeDecBuffer(&config.output);
    return status == VP8_STATUS_OK ? image : QImage();
}

// The first frame of an animation, drawn on its canvas as a player shows it.
QImage DecodeFirstFrame(const WebPData& data, int width, int height) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) {
        return {};
    }
    options.color_mode = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? MODE_BGRA : MODE_ARGB;
    options.use_threads = 0;
    const std::unique_ptr<WebPAnimDecoder, AnimFree> decoder(WebPAnimDecoderNew(&data, &options));
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!decoder || !WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp)) {
        return {};
    }
    QImage image = NewPicture(width, height, QImage::Format_ARGB32);
    if (image.isNull()) {
        return {};
    }
    for (int y = 0; y < height; ++y) {
        std::memcpy(image.scanLine(y), canvas + qsizetype(y) * width * 4, size_t(width) * 4);
    }
    return image;
}

}  // namespace

bool RecogniseWebp(QByteArrayView head) {
    return head.size() >= 12 && head.first(4) == QByteArrayView("RIFF") &&
           head.sliced(8, 4) == QByteArrayView("WEBP");
}

bool IsLosslessWebp(QByteArrayView bytes) {
    WebPBitstreamFeatures features;
    return WebPGetFeatures(reinterpret_cast<const uint8_t*>(bytes.data()), size_t(bytes.size()),
                           &features) == VP8_STATUS_OK &&
           features.format == 2;
}

TodayPicture DecodeWebp(const QByteArray& bytes, qint64 maxPixels) {
    const WebPData data{reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
    const std::unique_ptr<WebPDemuxer, DemuxFree> demux(WebPDemux(&data));
    WebPBitstreamFeatures features;
    if (!demux || WebPGetFeatures(data.bytes, data.size, &features) != VP8_STATUS_OK) {
        return TodayFailure(Kind::Corrupt,
                            QStringLiteral("damaged or truncated: not a complete WebP"));
    }
    const int width = int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH));
    const int height = int(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
    if (width <= 0 || height <= 0) {
        return TodayFailure(Kind::Corrupt, QStringLiteral("damaged: the picture has no size"));
    }
    if (qint64(width) * height > maxPixels) {
        return TooManyPixels(width, height, maxPixels);
    }
    TodayPicture picture;
    picture.image = features.has_animation
                        ? DecodeFirstFrame(data, width, height)
                        : DecodeStill(bytes, width, height, features.has_alpha != 0);
    if (picture.image.isNull()) {
        return TodayFailure(Kind::Corrupt,
                            QStringLiteral("damaged or truncated: the WebP picture could "
                                           "not be decoded"));
    }
    const QByteArray icc = Chunk(demux.get(), "ICCP");
    if (!icc.isEmpty()) {
        picture.image.setColorSpace(QColorSpace::fromIccProfile(icc));
    }
    picture.exif = WithoutExifPrefix(Chunk(demux.get(), "EXIF"));
    picture.xmp = Chunk(demux.get(), "XMP ");
    // A WebP has no orientation of its own: the EXIF one is applied, as for any file.
    picture.containerTurns = false;
    return picture;
}

namespace {

// The encoded picture with the chunks for its colour profile and metadata; the bitstream as it
// is when there are none.
bool WriteWithChunks(const WebPMemoryWriter& encoded, const QByteArray& icc,
                     const MetadataBlocks* metadata, QIODevice* device) {
    const bool exif = metadata != nullptr && !metadata->exif.isEmpty();
    const bool xmp = metadata != nullptr && !metadata->xmp.isEmpty();
    if (icc.isEmpty() && !exif && !xmp) {
        return device->write(reinterpret_cast<const char*>(encoded.mem), qint64(encoded.size)) ==
               qint64(encoded.size);
    }
    const WebPData bitstream{encoded.mem, encoded.size};
    const std::unique_ptr<WebPMux, MuxFree> mux(WebPMuxCreate(&bitstream, 0));
    if (!mux) {
        return false;
    }
    const auto set = [&](const char* fourcc, const QByteArray& bytes) {
        const WebPData chunk{reinterpret_cast<const uint8_t*>(bytes.constData()),
                             size_t(bytes.size())};
        return bytes.isEmpty() || WebPMuxSetChunk(mux.get(), fourcc, &chunk, 0) == WEBP_MUX_OK;
    };
    if (!set("ICCP", icc) || (exif && !set("EXIF", metadata->exif)) ||
        (xmp && !set("XMP ", metadata->xmp))) {
        return false;
    }
    WebPData assembled;
    WebPDataInit(&assembled);
    if (WebPMuxAssemble(mux.get(), &assembled) != WEBP_MUX_OK) {
        return false;
    }
    const bool written = device->write(reinterpret_cast<const char*>(assembled.bytes),
                                       qint64(assembled.size)) == qint64(assembled.size);
    WebPDataClear(&assembled);
    return written;
}

int WriteToMemory(const uint8_t* data, size_t size, const WebPPicture* picture) {
    return WebPMemoryWrite(data, size, picture);
}

}  // namespace

bool WriteWebp(const QImage& source, bool lossless, const MetadataBlocks* metadata,
               QIODevice* device) {
    const bool alpha = source.hasAlphaChannel();
    const QImage image =
        source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
            ? source
            : source.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    WebPConfig config;
    WebPPicture picture;
    if (image.isNull() || !WebPConfigInit(&config) || !WebPPictureInit(&picture)) {
        return false;
    }
    config.lossless = lossless ? 1 : 0;
    picture.use_argb = lossless ? 1 : 0;
    picture.width = image.width();
    picture.height = image.height();
    const auto* pixels = image.constBits();
    const int stride = int(image.bytesPerLine());
    const bool imported = Q_BYTE_ORDER == Q_LITTLE_ENDIAN
                              ? (alpha ? WebPPictureImportBGRA(&picture, pixels, stride)
                                       : WebPPictureImportBGRX(&picture, pixels, stride))
                              : false;
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = &WriteToMemory;
    picture.custom_ptr = &writer;
    const bool encoded = imported && WebPEncode(&config, &picture);
    WebPPictureFree(&picture);
    const QByteArray icc =
        image.colorSpace().isValid() ? image.colorSpace().iccProfile() : QByteArray();
    const bool written = encoded && WriteWithChunks(writer, icc, metadata, device);
    WebPMemoryWriterClear(&writer);
    return written;
}

}  // namespace corvane
