#pragma once
// Painting on images in their own pixel units, shared by the drawing operations. Private to the
// imaging library.

#include "imaging/image_processor.h"

#include <QImage>
#include <QPainter>

namespace corvane {

// The image with a device pixel ratio of 1 (sharing its pixels), so that QPainter draws it one
// image pixel per target pixel. Qt gives files named "…@2x.png" a ratio of 2 on loading.
QImage PixelView(const QImage& image);

// Starts painting on `image` in its own pixel units. False when the image is null or its
// format cannot be painted on (indexed and 1-bit images).
bool BeginPainting(QPainter& painter, QImage& image);

// A Windows colour value 0x00BBGGRR as the opaque ARGB value 0xFFRRGGBB.
QRgb OpaqueArgb(Colour colour);

}  // namespace corvane
