#pragma once
// New bitmaps and the small conversions shared by the drawing operations (rotate, resize,
// combine, region copy, watermark). Private to the imaging library.

#include "imaging/bitmap.h"
#include "imaging/image_processor.h"

#include <QImage>
#include <QPainter>

namespace corvane {

// A new, uninitialised image, or a null image when the size is not positive, exceeds the
// bound for one bitmap, or memory cannot hold it. Sizes arrive as 64-bit numbers so that
// callers can pass sums and products without overflowing first.
QImage AllocateImage(qint64 width, qint64 height, QImage::Format format);

// The bitmap that takes the place of one that could not be made.
BitmapPtr FailedBitmap(ImageStatus status = ImageStatus::OutOfMemory);

// The image with a device pixel ratio of 1 (sharing its pixels), so that QPainter draws it one
// image pixel per target pixel. Qt gives files named "…@2x.png" a ratio of 2 on loading.
QImage PixelView(const QImage& image);

// Starts painting on `image` in its own pixel units. False when the image is null or its
// format cannot be painted on (indexed and 1-bit images).
bool BeginPainting(QPainter& painter, QImage& image);

// A Windows colour value 0x00BBGGRR as the opaque ARGB value 0xFFRRGGBB.
QRgb OpaqueArgb(Colour colour);

}  // namespace corvane
