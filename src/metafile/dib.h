#pragma once
// Private to the metafile writer and reader: DIB (device-independent bitmap) encoding and
// decoding.

#include "records.h"

#include <QDataStream>
#include <QImage>

namespace corvane::metafile {

// --- DIBs --------------------------------------------------------------------------------------

constexpr qint64 kInfoHeaderSize = 40;  // BITMAPINFOHEADER

// Bytes per row of a DIB: rows are padded to 32 bits. -1 when it does not fit in 31 bits.
qint64 DibStride(qint64 width, int bitCount);

// The DIB the writer stores for GDI readers: a bottom-up 24-bit BI_RGB DIB. GDI's raster calls
// ignore alpha, so the picture is composited over white, which is how a viewer shows it on a page.
qint64 Dib24BitsSize(const QImage& image);
void WriteDib24Header(QDataStream& out, const QImage& image);
// Writes the rows of `image` (Format_ARGB32) bottom-up. False when the stream failed.
bool WriteDib24RowsOnWhite(QDataStream& out, const QImage& image);

// How a decoded DIB's fourth byte is taken: GDI's copying calls ignore it; AlphaBlend with
// AC_SRC_ALPHA takes it as premultiplied alpha.
enum class DibAlpha { Ignore, Premultiplied };

struct DecodedDib {
    QImage image;          // RGB32, or ARGB32_Premultiplied for RLE (skipped pixels stay clear)
                           // and alpha DIBs; null when the DIB was refused
    bool bottomUp = true;  // rows were stored bottom-up (the origin of DIB source rectangles)
};

// Decodes a DIB whose header and colour table (`info`) and pixel bits (`bits`) are given
// separately, as EMF records give them. Header sizes 12, 40, 52, 56, 108 and 124; 1, 4, 8, 16, 24
// and 32 bits; BI_RGB, BI_BITFIELDS, BI_RLE8, BI_RLE4 and embedded JPEG or PNG. Refused (null
// image): a colour-index table (DIB_PAL_COLORS), anything inconsistent or outside the bytes, and
// more than `maxPixels` pixels.
DecodedDib DecodeDib(LeReader info, LeReader bits, quint32 usage, qint64 maxPixels,
                     DibAlpha alpha = DibAlpha::Ignore);
// Decodes a packed DIB (header, colour table and bits in one block, as in WMF records).
DecodedDib DecodePackedDib(LeReader packed, quint32 usage, qint64 maxPixels);
// Splits a packed DIB into its header with colour table and its bits. False when the header is
// not one DecodeDib reads.
bool SplitPackedDib(LeReader packed, LeReader& info, LeReader& bits);
// Decodes the first `scans` scan lines of a DIB as a DIB of that height (SetDIBitsToDevice
// stores only the scan lines it draws); all of it when `scans` covers its height.
DecodedDib DecodeDibScans(LeReader info, LeReader bits, quint32 usage, qint64 scans,
                          qint64 maxPixels);

// Decodes a PNG, JPEG or other Qt-readable picture held in memory, refusing one that declares more
// than `maxPixels` pixels before any pixel is decoded.
QImage DecodeCompressed(LeReader bytes, qint64 maxPixels);

}  // namespace corvane::metafile
