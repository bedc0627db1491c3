#pragma once
// GIF encoding through giflib, with a real colour reduction to at most 256 colours.

#include <QImage>
#include <QIODevice>

namespace corvane {

// Writes `image` as a single-frame GIF to `device`. Images with at most 256 distinct colours keep
// them exactly; others are reduced to an adaptive palette. Pixels with alpha below 128 become the
// transparent colour. False when the image is null or writing fails.
bool WriteGif(const QImage& image, QIODevice* device);

}  // namespace corvane
