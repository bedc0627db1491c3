#pragma once
// Our own JPEG writer for the common pixel formats. Private to the imaging library.
//
// It writes exactly the file Qt's JPEG writer writes (the same libjpeg, the same settings: JFIF
// resolution, quality with baseline tables, the colour profile in APP2 markers) but hands libjpeg
// the rows as they lie in memory: RGB32 and ARGB32 rows go in without the copy to RGB that Qt
// makes of every row.

#include <QIODevice>
#include <QImage>

namespace corvane {

// RGB32, ARGB32 (its alpha ignored, as Qt's writer ignores it), RGB888 and Grayscale8.
bool CanWriteJpeg(const QImage& image);

// Writes the picture as a JPEG of `quality` (0-100) without its texts; false when libjpeg or the
// device failed.
bool WriteJpegFile(const QImage& image, int quality, QIODevice* device);

}  // namespace corvane
