#pragma once
// Lossless quarter turns. Private to the imaging library.

#include <QImage>

namespace corvane {

// `source` turned clockwise by 90, 180 or 270 degrees, pixel for pixel, in the same format and
// with the same colour space, resolution and texts; a null image when memory cannot hold it.
// 16-, 24- and 32-bit pictures are turned here in tiles that stay in the cache, into kept memory
// (picture_memory.h); others by Qt.
QImage TurnQuarter(const QImage& source, int degrees);

// A picture turned a strip at a time: places `rows`, which are rows [first, first +
// rows.height()) of a picture `height` rows tall, into `target` (that picture turned clockwise by
// 90, 180 or 270 degrees, same format). Pixels of 8, 16, 24 or 32 bits; nothing else of the
// picture (colour table, colour space) is touched.
void TurnRowsInto(const QImage& rows, int first, int height, QImage& target, int degrees);

}  // namespace corvane
