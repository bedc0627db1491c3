#pragma once
// Making new bitmaps within a bound, for the drawing operations (rotate, resize, combine, region
// copy, watermark). Private to the imaging library.

#include "imaging/bitmap.h"

#include <QImage>

namespace corvane {

// The largest picture the loader accepts: 2^29 pixels (512 megapixels, 2 GiB as ARGB32, e.g.
// 23170 x 23170), above any camera frame and most stitched panoramas, yet a forged header cannot
// make one load take more than a few GiB.
inline constexpr qint64 kMaxLoadPixels = qint64(1) << 29;

// Larger source files are decoded straight from the file and their metadata is not read: holding
// the whole file beside its decoded picture would cost too much memory.
inline constexpr qint64 kMaxInMemoryFileBytes = qint64(256) << 20;

// A new, uninitialised image, or a null image when the size is not positive, exceeds the
// bound for one bitmap, or memory cannot hold it. Sizes arrive as 64-bit numbers so that
// callers can pass sums and products without overflowing first.
QImage AllocateImage(qint64 width, qint64 height, QImage::Format format);

// The bitmap that takes the place of one that could not be made.
BitmapPtr FailedBitmap(ImageStatus status = ImageStatus::OutOfMemory);

// A bitmap of `image` made from `source`, keeping its metadata and colour profile; a failed
// bitmap when the image is null (it could not be made).
BitmapPtr DerivedBitmap(QImage image, const Bitmap& source);

}  // namespace corvane
