// Combining images into a mosaic: each image is drawn 1:1 at its place on a white canvas that
// grows to the bounding box of everything placed.

#include "allocation.h"
#include "imaging/image_processor.h"
#include "painting.h"

#include <algorithm>

namespace corvane {
namespace {

constexpr Colour kWhite = 0x00FFFFFF;

}  // namespace

bool ImageProcessor::AppendToCanvas(ImageSlot canvas, Bitmap* image, int x, int y) const {
    if (!IsUsable(image)) {
        return false;
    }
    // 64-bit sums: a position near the int limit plus a width must not wrap.
    qint64 width = qint64(x) + image->Width();
    qint64 height = qint64(y) + image->Height();
    const bool hasCanvas = IsUsable(canvas.get());
    if (hasCanvas) {
        width = std::max<qint64>(width, canvas->Width());
        height = std::max<qint64>(height, canvas->Height());
    }
    if (!hasCanvas || canvas->Width() < width || canvas->Height() < height) {
        QImage pixels = AllocateImage(width, height, QImage::Format_ARGB32);
        if (pixels.isNull()) {
            // A canvas that could not grow keeps the images placed so far, so the group can
            // still be saved; a canvas that could not be made at all is left failed.
            if (!hasCanvas) {
                canvas = FailedBitmap();
            }
            return false;
        }
        // A mosaic keeps the metadata and colour profile of its first picture.
        BitmapPtr grown = DerivedBitmap(std::move(pixels), hasCanvas ? *canvas : *image);
        ClearWithColour(grown.get(), kWhite);
        if (hasCanvas && !CopyRegion(grown, canvas.get(), 0, 0, 0, 0, 0, 0)) {
            return false;
        }
        canvas = std::move(grown);
    }
    return CopyRegion(canvas, image, x, y, 0, 0, 0, 0);
}

bool ImageProcessor::DrawMosaic(ImageSlot canvas, const std::vector<Bitmap*>& images,
                                const std::vector<QPoint>& places) const {
    if (images.empty() || images.size() != places.size()) {
        return false;
    }
    qint64 width = 0;
    qint64 height = 0;
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (!IsUsable(images[i])) {
            return false;
        }
        width = std::max(width, qint64(places[i].x()) + images[i]->Width());
        height = std::max(height, qint64(places[i].y()) + images[i]->Height());
    }
    QImage pixels = AllocateImage(width, height, QImage::Format_ARGB32);
    if (pixels.isNull()) {
        return false;
    }
    BitmapPtr drawn = DerivedBitmap(std::move(pixels), *images.front());
    ClearWithColour(drawn.get(), kWhite);
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (!CopyRegion(drawn, images[i], places[i].x(), places[i].y(), 0, 0, 0, 0)) {
            return false;
        }
    }
    canvas = std::move(drawn);
    return true;
}

bool ImageProcessor::ClearWithColour(Bitmap* bitmap, Colour colour) const {
    if (bitmap == nullptr || bitmap->Image().isNull()) {
        return false;
    }
    bitmap->Image().fill(QColor::fromRgb(OpaqueArgb(colour)));
    return true;
}

}  // namespace corvane
