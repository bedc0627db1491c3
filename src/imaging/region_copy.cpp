// The 1:1 region copy that cutting, combining and rotation build on.

#include "allocation.h"
#include "imaging/image_processor.h"
#include "painting.h"

namespace corvane {
namespace {

// A new image of the source's format holding the source rectangle at its origin. QImage::copy
// keeps the format and the colour table, so even indexed images (which cannot be painted on)
// cut exactly; parts of the rectangle outside the source come out as zero bytes, like a fresh
// bitmap that nothing was drawn on.
QImage CopyToOrigin(const QImage& source, const QRect& rect) {
    if (AllocateImage(rect.width(), rect.height(), source.format()).isNull()) {
        return {};
    }
    return source.copy(rect);
}

// Draws the part of `rect` that lies inside the source 1:1 at `to` of the target, blending
// translucent pixels over what the target holds.
bool DrawRegion(QImage& target, const QImage& source, QPoint to, const QRect& rect) {
    const QRect inside = rect & source.rect();
    QPainter painter;
    if (!BeginPainting(painter, target)) {
        return false;
    }
    if (!inside.isEmpty()) {
        painter.drawImage(to + (inside.topLeft() - rect.topLeft()), PixelView(source), inside);
    }
    return true;
}

}  // namespace

bool ImageProcessor::CopyRegion(ImageSlot target, Bitmap* source, int dstX, int dstY, int srcX,
                                int srcY, int width, int height) const {
    if (!IsUsable(source)) {
        return false;  // nothing was copied
    }
    const QImage& pixels = source->Image();
    const QRect rect(srcX, srcY, width == 0 ? pixels.width() : width,
                     height == 0 ? pixels.height() : height);
    if (target) {
        return DrawRegion(target->Image(), pixels, QPoint(dstX, dstY), rect);
    }
    if (rect.width() < 0 || rect.height() < 0) {
        target = FailedBitmap(ImageStatus::InvalidParameter);
        return false;
    }
    if (dstX == 0 && dstY == 0) {
        target = DerivedBitmap(CopyToOrigin(pixels, rect), *source);
        return !target->Image().isNull();
    }
    QImage blank = AllocateImage(rect.width(), rect.height(), pixels.format());
    if (blank.isNull()) {
        target = FailedBitmap();
        return false;
    }
    blank.setColorTable(pixels.colorTable());
    blank.fill(0);
    target = DerivedBitmap(std::move(blank), *source);
    return DrawRegion(target->Image(), pixels, QPoint(dstX, dstY), rect);
}

}  // namespace corvane
