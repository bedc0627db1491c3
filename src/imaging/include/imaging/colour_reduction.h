#pragma once
// Reducing a picture to at most 256 colours, for formats that store palette indices (GIF). Pure
// pixel code: no codec is involved, so it is tested on its own.
//
// Pixels with alpha below 128 all count as one transparent colour, the others as their own RGB.
// - At most 256 distinct colours: they are kept exactly, so drawings, screenshots and GIF
//   sources stay lossless.
// - More colours: an adaptive palette is built from a 15-bit histogram by variance-minimising
//   median cut, refined by a few k-means passes over the histogram, and the pixels are mapped
//   with serpentine Floyd–Steinberg error diffusion so that gradients do not band.

#include <QImage>

#include <cstdint>
#include <memory>
#include <vector>

namespace corvane {

struct PaletteColour {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const PaletteColour&, const PaletteColour&) = default;
};

// At most 256 colours, and which entry (if any) stands for transparent pixels.
struct Palette {
    std::vector<PaletteColour> colours;
    int transparentIndex = -1;
};

class RowMapper;

// The palette of one picture, and its rows mapped to indices into that palette.
class ColourReducer {
public:
    // Looks at every pixel of `pixels` (Format_ARGB32 or Format_RGB32) and chooses the palette.
    explicit ColourReducer(const QImage& pixels);
    ~ColourReducer();
    ColourReducer(const ColourReducer&) = delete;
    ColourReducer& operator=(const ColourReducer&) = delete;

    const Palette& Colours() const { return palette_; }
    // True when every colour of the picture is in the palette as it is.
    bool IsExact() const { return exact_; }
    // Writes the palette indices of one row of the picture into out[0 .. width). Rows are mapped
    // top to bottom, each once: the error diffusion carries from one row into the next.
    void MapRow(const QRgb* pixels, int width, std::uint8_t* out);

private:
    Palette palette_;
    bool exact_ = false;
    std::unique_ptr<RowMapper> mapper_;
};

}  // namespace corvane
