#pragma once
// Encoding of the raster formats (PNG, BMP, JPEG, TIFF through our own writers and Qt's image
// plugins, GIF through giflib, WebP through libwebp, AVIF through libheif) on QIODevice, so that
// tests can write into a QBuffer.

#include "imaging/metadata.h"
#include "imaging/output_format.h"

#include <QIODevice>
#include <QImage>

namespace corvane {

class WorkPool;

// Encodes with fixed settings: JPEG quality 75, TIFF LZW, PNG with adaptive row filters (stored as
// RGB when no pixel is translucent), BMP as Qt writes it, WebP with libwebp's defaults (lossy,
// quality 75, method 4; lossless when `lossless`), AVIF with libheif's AV1 encoder defaults
// (libaom, quality 50, 4:2:0). The colour profile carried by the image
// is stored by the formats that can hold one; the image's text is not written (metadata.h writes
// the picture's comment). A PNG is shared out among `pool`'s threads when one is given; its bytes
// are the same either way. `metadata`, when given, is written into the stream; only where
// StreamsMetadata says so.
bool EncodeRaster(const QImage& image, FormatKind kind, QIODevice* device, WorkPool* pool = nullptr,
                  const MetadataBlocks* metadata = nullptr, bool lossless = false);

// Whether EncodeRaster can write `metadata` as it writes `image` as `kind`: in a JPEG when each
// block fits one segment, in a PNG of our own writer (8-bit pictures), always in WebP and AVIF.
// Elsewhere the encoded file is rewritten with the metadata (metadata.h).
bool StreamsMetadata(const QImage& image, FormatKind kind, const MetadataBlocks& metadata);

}  // namespace corvane
