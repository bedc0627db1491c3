// Recognising metafiles and rendering the raster pictures they hold.
//
// Only raster records are drawn; vector records are skipped. A file in which nothing was drawn
// gives a null image (the loader then counts the file as not recognised) rather than a blank
// frame that would pass for a picture.
//
// EMF: the frame comes from the header (rclFrame in 0.01 mm through the reference device's pixels
// per millimetre, or rclBounds when they agree with it, which gives the exact pixel count).
// Drawn: EMR_STRETCHDIBITS, EMR_BITBLT and EMR_STRETCHBLT with a bitmap, EMR_SETDIBITSTODEVICE,
// EMR_ALPHABLEND; EMF+ EmfPlusDrawImage and EmfPlusDrawImagePoints of bitmap objects (pixel data
// or PNG/JPEG/GIF/BMP). Coordinates go through the world transform, the map mode with window and
// viewport, and from the reference device to the frame. A file with EMF+ records is drawn as an
// EMF+ reader draws it (EMF records only after EmfPlusGetDC); if the EMF+ records drew nothing,
// the file is drawn again from its EMF records alone.
//
// WMF: a complete, intact embedded EMF (META_ESCAPE comments) is rendered in preference to the
// WMF records. Otherwise the frame is the placeable header's box at its units per inch (shown at
// 96 DPI), or the window in force at the first raster record, and the window is mapped onto it.
// Drawn: META_STRETCHDIB, META_DIBSTRETCHBLT, META_DIBBITBLT, META_SETDIBTODEV, and
// META_STRETCHBLT and META_BITBLT with a monochrome or true-colour bitmap.
//
// Input is untrusted: every count, size and offset is checked against the bytes before use, the
// frame and every bitmap must stay within maxPixels, and the pixel work of one file is bounded,
// so that no file can make the renderer allocate or loop beyond those limits.

#include "imaging/metafile.h"
#include "metafile_players.h"

namespace corvane {

using namespace metafile;

RawFormat SniffMetafile(const QByteArray& head) {
    const LeReader r(head);
    if (r.Slice(0, 4).U32() == emr::kHeader && r.Slice(40, 4).U32() == kEmfSignature) {
        return RawFormat::Emf;
    }
    if (r.Slice(0, 4).U32() == kPlaceableKey || IsStandardWmfHeader(r)) {
        return RawFormat::Wmf;
    }
    return RawFormat::Undefined;
}

QImage ReadMetafile(const QByteArray& bytes, qint64 maxPixels, QString* errorString) {
    QString why;
    QImage image;
    switch (maxPixels > 0 ? SniffMetafile(bytes) : RawFormat::Undefined) {
        case RawFormat::Emf:
            image = RenderEmf(bytes, maxPixels, why);
            break;
        case RawFormat::Wmf:
            image = RenderWmf(bytes, maxPixels, why);
            break;
        default:
            why = QStringLiteral("not a metafile");
            break;
    }
    if (errorString != nullptr) {
        *errorString = image.isNull() ? why : QString();
    }
    return image;
}

}  // namespace corvane
