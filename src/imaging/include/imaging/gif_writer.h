#pragma once
// GIF encoding through giflib, with a real colour reduction to at most 256 colours.

#include <QIODevice>
#include <QImage>

namespace corvane {

// Writes `image` as a single-frame GIF89a to `device`, which must be open for writing. Images
// with at most 256 distinct colours (all pixels with alpha below 128 counting as one transparent
// colour) keep them exactly; others are reduced to an adaptive palette and dithered. Pixels with
// alpha below 128 become the transparent colour; the others are written opaque with their own RGB.
// False when the image is null, wider or higher than 65535 pixels (the limit of the format), or
// when the device refuses a write; bytes already written are then left to the caller to discard.
bool WriteGif(const QImage& image, QIODevice* device);

}  // namespace corvane
