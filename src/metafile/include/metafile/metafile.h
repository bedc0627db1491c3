#pragma once
// EMF and WMF files holding one raster image: writing them, and turning metafiles back into
// bitmaps.
//
// Written files: an EMF with EMF+ dual records (EMF+ records in comments, then the equivalent
// plain EMF records) that draw the image once at (0, 0) at its own size, recorded against a
// 96 DPI screen; a WMF with the standard header (no placeable header), MM_ANISOTROPIC, the
// drawing, and the EMF embedded in comment records. The EMF+ image is PNG-compressed and keeps
// the alpha channel exactly; the plain EMF and WMF records carry a 24-bit DIB of the image
// composited over white, since GDI's raster calls have no alpha.
//
// Reading: an EMF, EMF+ or WMF renders its raster, vector and text records as a bitmap of its
// frame at 96 DPI (Format_ARGB32, transparent where nothing was drawn). Every size and offset in
// the input is bounds-checked and the drawing work of one file is bounded; a file that cannot be
// rendered, or in which nothing could be drawn, gives a null image and a reason, never a crash,
// and no allocation beyond the pixel limit the caller gives can be forced by a header.

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QString>

namespace corvane {

// Write the whole file to `device`; false for a null image, an image the format cannot state (WMF
// coordinates are 16-bit: a side above 32767 pixels; EMF sizes are 32-bit) or a failed write.
bool WriteEmf(const QImage& image, QIODevice* device);
bool WriteWmf(const QImage& image, QIODevice* device);

enum class MetafileKind { None, Emf, Wmf };

// Recognises an EMF or WMF (with or without a placeable header) from the first bytes of a file.
MetafileKind SniffMetafile(const QByteArray& head);

// Why a metafile gave no picture: `tooLarge` when its frame or a bitmap in it passes the pixel
// limit, and the reason in words a person can read.
struct MetafileError {
    bool tooLarge = false;
    QString text;
};

// Renders a whole metafile held in memory. Null image when it is not a metafile we can render or
// its frame exceeds maxPixels; no bitmap in it may exceed maxPixels either. With `error`, a null
// image comes with the reason.
QImage ReadMetafile(const QByteArray& bytes, qint64 maxPixels, MetafileError* error = nullptr);

}  // namespace corvane
