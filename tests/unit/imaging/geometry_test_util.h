#pragma once
// Small image builders and comparisons for the tests of the drawing operations.

#include "imaging/bitmap.h"
#include "support/image_difference.h"

#include <QImage>

#include <memory>

namespace corvane::test {

inline BitmapPtr SolidBitmap(int width, int height, QRgb colour,
                             QImage::Format format = QImage::Format_ARGB32) {
    if (format == QImage::Format_Indexed8) {
        // Converting would dither; one palette entry keeps the colour exact.
        QImage indexed(width, height, format);
        indexed.setColorTable({colour});
        indexed.fill(0);
        return std::make_unique<Bitmap>(std::move(indexed));
    }
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return std::make_unique<Bitmap>(image.convertToFormat(format));
}

// Every pixel tells where it came from: red = x mod 256, green = y mod 256, blue = the high
// bits of both. Opaque, so it survives every drawable format except RGB555, which keeps five
// bits per channel; use width and height below 32 there (then channels are multiples of 8).
inline QRgb CodedPixel(int x, int y, int step = 1) {
    return qRgb((x * step) % 256, (y * step) % 256, ((x / 256) * 16 + y / 256) % 256);
}

inline BitmapPtr CodedBitmap(int width, int height, QImage::Format format = QImage::Format_ARGB32,
                             int step = 1) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, CodedPixel(x, y, step));
        }
    }
    return std::make_unique<Bitmap>(image.convertToFormat(format));
}

// True when `part` equals the rectangle of `whole` at (x, y), pixel for pixel.
inline bool SameRegion(const QImage& part, const QImage& whole, int x, int y) {
    for (int py = 0; py < part.height(); ++py) {
        for (int px = 0; px < part.width(); ++px) {
            if (part.pixel(px, py) != whole.pixel(x + px, y + py)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace corvane::test
