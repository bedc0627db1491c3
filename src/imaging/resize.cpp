// Resize: three ways of choosing the new size, all ending in one resampling step.

#include "imaging/canvas.h"
#include "imaging/image_processor.h"
#include "imaging/resample.h"

#include <cmath>
#include <limits>

namespace corvane {
namespace {

// Sizes worked out from user numbers can come to 0; the least image is one pixel.
qint64 AtLeastOne(qint64 length) {
    return length <= 0 ? 1 : length;
}

// trunc(a * b / c), in 64 bits: w × th and h × tw overflow 32 bits on large images.
qint64 ScaledLength(qint64 a, qint64 b, qint64 c) {
    return a * b / c;
}

}  // namespace

void ImageProcessor::ResizeByRatio(ImageSlot slot, double ratio) const {
    if (!IsUsable(slot.get()) || !(ratio > 0.0)) {
        return;
    }
    const double width = std::trunc(slot->Width() * ratio);
    const double height = std::trunc(slot->Height() * ratio);
    constexpr double kLargest = std::numeric_limits<int>::max();
    if (width > kLargest || height > kLargest) {
        slot = FailedBitmap();  // no bitmap that large can be made
        return;
    }
    ResampleTo(slot, static_cast<int>(AtLeastOne(static_cast<qint64>(width))),
               static_cast<int>(AtLeastOne(static_cast<qint64>(height))));
}

void ImageProcessor::ResizeToSize(ImageSlot slot, int width, int height) const {
    if (!IsUsable(slot.get()) || width < 0) {
        return;
    }
    const int w = slot->Width();
    const int h = slot->Height();
    if (width == 0) {
        // Height given: only ever shrinks, keeping the aspect ratio.
        if (height > 0 && height < h) {
            ResampleTo(slot, static_cast<int>(AtLeastOne(ScaledLength(w, height, h))), height);
        }
    } else if (height != 0) {
        ResampleTo(slot, width, height);  // exactly as asked, even stretched or enlarged
    } else if (width < w) {
        // Width given: only ever shrinks, keeping the aspect ratio.
        ResampleTo(slot, width, static_cast<int>(AtLeastOne(ScaledLength(h, width, w))));
    }
}

void ImageProcessor::LimitLongEdge(ImageSlot slot, int limit) const {
    if (!IsUsable(slot.get()) || limit < 1) {
        return;
    }
    const int w = slot->Width();
    const int h = slot->Height();
    if (w <= limit && h <= limit) {
        return;
    }
    if (w >= h) {
        ResampleTo(slot, limit, static_cast<int>(AtLeastOne(ScaledLength(h, limit, w))));
    } else {
        ResampleTo(slot, static_cast<int>(AtLeastOne(ScaledLength(w, limit, h))), limit);
    }
}

void ImageProcessor::ResampleTo(ImageSlot slot, int width, int height) const {
    if (!IsUsable(slot.get()) || width <= 0 || height <= 0) {
        return;
    }
    if (width == slot->Width() && height == slot->Height()) {
        return;  // not redrawn: the pixels stay exactly as they are
    }
    QImage resampled = ResampleImage(slot->Image(), width, height);
    slot = resampled.isNull() ? FailedBitmap() : std::make_unique<Bitmap>(std::move(resampled));
}

}  // namespace corvane
