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
#include <QColorSpace>
#include <QIODevice>
#include <QImage>
#include <QPoint>
#include <QSize>

#include <cstdint>
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

// A picture that is not held whole: what its PNG file says besides the samples.
struct PngPicture {
    QSize size;
    QImage::Format format;  // of the samples: RGB888 (RGB) or Grayscale8 (grey)
    QColorSpace colourSpace;
    int dotsPerMeterX = 0;  // 0: no resolution stated
    int dotsPerMeterY = 0;
};

// The samples of such a picture, made as the writer asks for them.
class PngRowSource {
public:
    virtual ~PngRowSource() = default;
    // Makes rows [first, end) readable. Ranges come in order, each starting at most one row
    // before the end of the one before; false stops the writer.
    virtual bool Fill(int first, int end) = 0;
    // Copies row `y` of the last range filled as PNG samples into `out`. Called from several
    // threads at once.
    virtual void CopyRow(int y, std::uint8_t* out) const = 0;
};

// WritePng for a picture whose rows come from `rows`: the same bytes as WritePng gives for the
// same picture held whole.
bool WritePngRows(const PngPicture& picture, PngRowSource& rows, QIODevice* device, WorkPool* pool,
                  const std::vector<PngChunk>& chunks = {});

}  // namespace corvane
