#pragma once
// Decoders and encoders of today's picture formats, one file per codec library: heif_codec.cpp
// (libheif: HEIC/HEIF, AVIF), webp_codec.cpp (libwebp), jxl_codec.cpp (libjxl). Private to the
// imaging library; the loader and the raster encoders call them.
//
// Rules for every decoder here:
// - The format is recognised from the bytes alone (Recognise*), never from a name.
// - The picture comes out as a person sees it: turned as the container says (HEIF irot/imir,
//   JPEG XL orientation) - a WebP has no turn of its own, so the loader applies its EXIF
//   orientation as for any other file -, 8 bits per channel (RGB888 or RGB32 when opaque, ARGB32
//   when not), with its colour profile as a QColorSpace (none for plain sRGB).
// - Only the primary picture, or the first frame of an animation; thumbnails, depth maps and
//   other auxiliary pictures are never decoded.
// - The declared size is checked against `maxPixels` before any pixel is allocated; a refusal or
//   a damaged file is a `failure` with a readable text, never an exception or a crash.

#include "imaging/image_processor.h"
#include "imaging/metadata.h"
#include "imaging/output_format.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QImage>
#include <QString>

namespace corvane {

struct TodayPicture {
    QImage image;  // null when the file gave no picture: `failure` says why
    LoadError failure;
    QByteArray exif;  // the EXIF block as a TIFF structure (no "Exif" prefix, no offset)
    QByteArray xmp;   // the XMP packet
    // A JPEG XL recompressed from a JPEG: that JPEG, byte for byte. Its segments (IPTC and the
    // comment too, which the container has no other place for) are the picture's metadata.
    QByteArray jpeg;
    // Whether the container turned the picture itself (so an EXIF orientation is not applied).
    bool containerTurns = true;
    // What was changed about the picture that a person should know; empty when nothing was.
    QString note;
    QString metadataProblem;  // why some metadata the file holds could not be read
};

// What the decoders give when the file gives no picture.
inline TodayPicture TodayFailure(LoadError::Kind kind, const QString& text) {
    TodayPicture picture;
    picture.failure = {kind, text, {}, {}};
    return picture;
}

inline TodayPicture TooManyPixels(qint64 width, qint64 height, qint64 maxPixels) {
    return TodayFailure(LoadError::Kind::TooLarge,
                        QStringLiteral("the picture is %1 x %2 pixels, more than the %3 megapixels "
                                       "allowed")
                            .arg(width)
                            .arg(height)
                            .arg(maxPixels >> 20));
}

// The TIFF structure of an EXIF item (HEIF) or box (JPEG XL): behind a 4-byte big-endian offset
// to it. Empty when the offset leads outside.
inline QByteArray TiffAfterOffset(const QByteArray& block) {
    if (block.size() < 4) {
        return {};
    }
    const quint32 offset = (quint32(uchar(block[0])) << 24) | (quint32(uchar(block[1])) << 16) |
                           (quint32(uchar(block[2])) << 8) | quint32(uchar(block[3]));
    return offset <= quint32(block.size() - 4) ? block.mid(4 + offset) : QByteArray();
}

// HEIF with an HEVC picture (HEIC) or an AV1 picture (AVIF); RawFormat::Undefined otherwise.
RawFormat RecogniseHeif(QByteArrayView head);
TodayPicture DecodeHeif(const QByteArray& bytes, qint64 maxPixels);
// WebP, still or animated.
bool RecogniseWebp(QByteArrayView head);
TodayPicture DecodeWebp(const QByteArray& bytes, qint64 maxPixels);
// Whether a WebP's first picture is stored losslessly (VP8L).
bool IsLosslessWebp(QByteArrayView bytes);
// JPEG XL, a bare codestream or in its container.
bool RecogniseJxl(QByteArrayView head);
TodayPicture DecodeJxl(const QByteArray& bytes, qint64 maxPixels);

// Encoders: quality -1 leaves the library's default. `metadata` (may be null) is stored in the
// file's own places (WebP EXIF/XMP chunks, HEIF metadata items), the colour profile as ICC.
bool WriteWebp(const QImage& image, bool lossless, const MetadataBlocks* metadata,
               QIODevice* device);
bool WriteAvif(const QImage& image, const MetadataBlocks* metadata, QIODevice* device);

}  // namespace corvane
