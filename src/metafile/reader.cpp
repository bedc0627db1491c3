// Recognising metafiles and rendering them: the raster, vector and text records of EMF, EMF+ and
// WMF, played onto a QPainter.
//
// The picture is the frame (0.01 mm) at 96 DPI, whatever the resolution of the device the file
// was recorded against; transparent where nothing was drawn. A file in which nothing could be
// drawn gives a null image and a reason (the loader then counts the file as not recognised)
// rather than a blank frame that would pass for a picture; a file drawn in part gives what was
// drawn.
//
// EMF (emf.cpp): every record in order through one device context (dc.h):
// lines, polylines, polygons and poly-polygons (16- and 32-bit), Bézier curves, PolyDraw,
// rectangles, rounded rectangles, ellipses, arcs, chords and pies, paths (fill, stroke, both,
// clip), ExtTextOut (W and A), pens, brushes (solid, hatched, pattern) and fonts with select and
// delete, save and restore, fill mode, ROP2, clip rectangles and regions, map modes, window,
// viewport and world transforms, and the raster records. A file with EMF+ records is drawn as an
// EMF+ reader draws it (emfplus.cpp: EMF records only after EmfPlusGetDC); when the
// EMF+ records drew nothing, or a dual file's EMF+ records used something we do not draw, the
// file is drawn again from its EMF records alone.
//
// WMF (wmf.cpp): a complete, intact embedded EMF (META_ESCAPE comments) is rendered in
// preference to the WMF records. Otherwise the frame is the placeable header's box at its units
// per inch, or the window in force at the first drawing record, and the window is mapped onto it;
// the records play into the same device context as EMF records.
//
// Not drawn: WMF regions (META_CREATEREGION), EMR_FRAMERGN and EMR_INVERTRGN, EMR_WIDENPATH,
// EMR_MASKBLT, EMR_PLGBLT, EMR_TRANSPARENTBLT, EMR_GRADIENTFILL, EMR_SMALLTEXTOUT, ETO_CLIPPED,
// EMF+ path-gradient and texture brushes, custom line caps, cardinal curves,
// EmfPlusDrawDriverString with glyph indices, and EMF+ metafile images.
//
// Input is untrusted: every count, size and offset is checked against the bytes before use, the
// frame and every bitmap must stay within maxPixels, and the work of one file (pixels decoded and
// touched, path elements, characters, clip combinations) is bounded, so that no file can make the
// renderer allocate or loop beyond those limits.

#include "metafile/metafile.h"
#include "players.h"

namespace corvane {

using namespace metafile;

QString metafile::NothingDrawn(const Canvas& canvas, qint64 truncatedAt) {
    if (truncatedAt >= 0) {
        return QStringLiteral("truncated record at offset %1").arg(truncatedAt);
    }
    if (canvas.Spent()) {
        return QStringLiteral("drawing needs more work than one file is allowed");
    }
    return QStringLiteral("nothing drawable");
}

MetafileKind SniffMetafile(const QByteArray& head) {
    const LeReader r(head);
    if (r.Slice(0, 4).U32() == emr::kHeader && r.Slice(40, 4).U32() == kEmfSignature) {
        return MetafileKind::Emf;
    }
    if (r.Slice(0, 4).U32() == kPlaceableKey || IsStandardWmfHeader(r)) {
        return MetafileKind::Wmf;
    }
    return MetafileKind::None;
}

QImage ReadMetafile(const QByteArray& bytes, qint64 maxPixels, MetafileError* error) {
    MetafileError why;
    QImage image;
    switch (maxPixels > 0 ? SniffMetafile(bytes) : MetafileKind::None) {
        case MetafileKind::Emf:
            image = RenderEmf(bytes, maxPixels, why);
            break;
        case MetafileKind::Wmf:
            image = RenderWmf(bytes, maxPixels, why);
            break;
        case MetafileKind::None:
            why.text = QStringLiteral("not a metafile");
            break;
    }
    if (error != nullptr) {
        *error = image.isNull() ? why : MetafileError{};
    }
    return image;
}

}  // namespace corvane
