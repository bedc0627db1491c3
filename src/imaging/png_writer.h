#pragma once
// Our own PNG writer for 8-bit pictures. Private to the imaging library.
//
// Rows are filtered (png_filter.h) and deflated in bands of a fixed number of rows, each band a
// piece of the one zlib stream ending at a flush point, so that the bands can be worked on at the
// same time and joined in order. How a picture is cut into bands depends on the picture alone:
// the bytes are the same however many threads work on it. Each band is deflated with run-length
// matching, which on filtered photographs and gradients is about as small as zlib's level 4 in
// half the time; where samples of a band show that repeated strings pay (screenshots, text, flat
// artwork), the band is also deflated at level 4 and the smaller of the two is kept.

#include <QByteArray>
#include <QIODevice>
#include <QImage>

#include <vector>

namespace corvane {

class WorkPool;

// A chunk to write besides the picture: four letters of type, then its data.
struct PngChunk {
    QByteArray type;
    QByteArray data;
};

// RGB32, ARGB32 (straight alpha), RGB888 and Grayscale8: the formats WritePng takes.
bool CanWritePng(const QImage& image);

// Writes the picture as PNG: RGB for RGB32 and RGB888, RGBA for ARGB32, grey for Grayscale8, with
// the picture's colour profile (iCCP), resolution (pHYs) and offset (oFFs), then `chunks` (the
// metadata, metadata_stream.h) before the image data. `pool` may be null (every band on the
// calling thread). False when the device refused to write or memory ran out.
bool WritePng(const QImage& image, QIODevice* device, WorkPool* pool,
              const std::vector<PngChunk>& chunks = {});

}  // namespace corvane
