// Pixel-format normalisation: the formats the drawing operations paint on.

#include "allocation.h"
#include "imaging/image_processor.h"

namespace corvane {
namespace {

bool IsDrawableFormat(QImage::Format format) {
    return format == QImage::Format_RGB555 || format == QImage::Format_RGB888 ||
           format == QImage::Format_RGB32 || format == QImage::Format_ARGB32;
}

}  // namespace

void ImageProcessor::NormalizePixelFormat(ImageSlot slot) const {
    if (!IsUsable(slot.get()) || IsDrawableFormat(slot->Image().format())) {
        return;
    }
    QImage converted = slot->Image().convertToFormat(QImage::Format_ARGB32);
    slot = DerivedBitmap(std::move(converted), *slot);
}

}  // namespace corvane
