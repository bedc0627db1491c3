// Resize: three ways of choosing the new size, all ending in one resampling step.

#include "allocation.h"
#include "imaging/image_processor.h"
#include "resample.h"

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

QSize ImageProcessor::RatioSize(QSize size, double ratio) {
    if (!(ratio > 0.0)) {
        return size;
    }
    const double width = std::trunc(size.width() * ratio);
    const double height = std::trunc(size.height() * ratio);
    constexpr double kLargest = std::numeric_limits<int>::max();
    if (width > kLargest || height > kLargest) {
        return {};  // no bitmap that large can be made
    }
    return {static_cast<int>(AtLeastOne(static_cast<qint64>(width))),
            static_cast<int>(AtLeastOne(static_cast<qint64>(height)))};
}

QSize ImageProcessor::ToSizeSize(QSize size, int width, int height) {
    const int w = size.width();
    const int h = size.height();
    if (width < 0) {
        return size;
    }
    if (width == 0) {
        // Height given: only ever shrinks, keeping the aspect ratio.
        if (height > 0 && height < h) {
            return {static_cast<int>(AtLeastOne(ScaledLength(w, height, h))), height};
        }
        return size;
    }
    if (height != 0) {
        // Exactly as asked, even stretched or enlarged; a negative height keeps the image.
        return height > 0 ? QSize(width, height) : size;
    }
    if (width < w) {
        // Width given: only ever shrinks, keeping the aspect ratio.
        return {width, static_cast<int>(AtLeastOne(ScaledLength(h, width, w)))};
    }
    return size;
}

QSize ImageProcessor::LongEdgeSize(QSize size, int limit) {
    const int w = size.width();
    const int h = size.height();
    if (limit < 1 || (w <= limit && h <= limit)) {
        return size;
    }
    if (w >= h) {
        return {limit, static_cast<int>(AtLeastOne(ScaledLength(h, limit, w)))};
    }
    return {static_cast<int>(AtLeastOne(ScaledLength(w, limit, h))), limit};
}

void ImageProcessor::ResizeByRatio(ImageSlot slot, double ratio) const {
    if (IsUsable(slot.get()) && ratio > 0.0) {
        ResampleOrFail(slot, RatioSize(slot->Image().size(), ratio));
    }
}

void ImageProcessor::ResizeToSize(ImageSlot slot, int width, int height) const {
    if (IsUsable(slot.get())) {
        ResampleOrFail(slot, ToSizeSize(slot->Image().size(), width, height));
    }
}

void ImageProcessor::LimitLongEdge(ImageSlot slot, int limit) const {
    if (IsUsable(slot.get())) {
        ResampleOrFail(slot, LongEdgeSize(slot->Image().size(), limit));
    }
}

void ImageProcessor::ResampleOrFail(ImageSlot slot, QSize size) const {
    if (!size.isValid()) {
        slot = FailedBitmap();
        return;
    }
    ResampleTo(slot, size.width(), size.height());
}

void ImageProcessor::ResampleTo(ImageSlot slot, int width, int height) const {
    if (!IsUsable(slot.get()) || width <= 0 || height <= 0) {
        return;
    }
    if (width == slot->Width() && height == slot->Height()) {
        return;  // not redrawn: the pixels stay exactly as they are
    }
    QImage resampled = ResampleImage(slot->Image(), width, height);
    slot = DerivedBitmap(std::move(resampled), *slot);
}

}  // namespace corvane
