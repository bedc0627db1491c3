#pragma once
// High-quality resampling behind ImageProcessor::ResampleTo. Private to the imaging library.
//
// A separable Catmull-Rom cubic (the Keys cubic with a = -0.5, the usual "bicubic"): it passes
// through the source pixels, so enlargements stay sharp and flat areas stay flat, and when
// shrinking it is widened by the scale factor so that every source pixel contributes and fine
// detail averages out instead of aliasing. Colour is filtered premultiplied by alpha, so the
// colour of transparent pixels does not bleed into their neighbours.
//
// The image is streamed one source row at a time: each row is filtered across and then added
// into the few output rows that need it, so the working memory is a handful of rows however
// large the image.

#include <QImage>

namespace corvane {

// The whole of `source` resampled to width x height (both > 0) as Format_ARGB32; a null image
// when memory is short.
QImage ResampleImage(const QImage& source, int width, int height);

}  // namespace corvane
