// GIF encoding through giflib. Every giflib call of the program lives in this file; the colour
// reduction is pure pixel code beside it (colour_reduction.h).
#include "imaging/gif_writer.h"

#include "imaging/colour_reduction.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace corvane {
namespace {

constexpr int kMaxGifSide = 65535;  // width and height are 16-bit fields

// Remembers the first failed write: giflib ignores the result of writing the trailer byte.
struct DeviceSink {
    QIODevice* device;
    bool failed = false;
};

int WriteToDevice(GifFileType* gif, const GifByteType* data, int length) {
    auto* sink = static_cast<DeviceSink*>(gif->UserData);
    if (!sink->failed &&
        sink->device->write(reinterpret_cast<const char*>(data), length) != length) {
        sink->failed = true;
    }
    return sink->failed ? 0 : length;
}

struct GifCloser {
    void operator()(GifFileType* gif) const { EGifCloseFile(gif, nullptr); }
};
struct ColourMapFreer {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

// A colour table holds a power of two entries, at least two.
std::unique_ptr<ColorMapObject, ColourMapFreer> MakeColourMap(const Palette& palette) {
    int size = 2;
    while (size < static_cast<int>(palette.colours.size())) {
        size *= 2;
    }
    std::vector<GifColorType> entries(static_cast<size_t>(size), GifColorType{0, 0, 0});
    for (size_t i = 0; i < palette.colours.size(); ++i) {
        const PaletteColour& c = palette.colours[i];
        entries[i] = GifColorType{c.r, c.g, c.b};
    }
    return std::unique_ptr<ColorMapObject, ColourMapFreer>(GifMakeMapObject(size, entries.data()));
}

bool PutTransparency(GifFileType* gif, int transparentIndex) {
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSAL_UNSPECIFIED;
    control.UserInputFlag = false;
    control.DelayTime = 0;
    control.TransparentColor = transparentIndex;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    return EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) ==
           GIF_OK;
}

bool Encode(const QImage& image, ColourReducer& reducer, QIODevice* device) {
    const Palette& palette = reducer.Colours();
    const auto colourMap = MakeColourMap(palette);
    if (!colourMap) {
        return false;
    }
    DeviceSink sink{device};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(EGifOpen(&sink, WriteToDevice, &error));
    if (!gif) {
        return false;
    }
    EGifSetGifVersion(gif.get(), true);
    const int width = image.width(), height = image.height();
    const int background = std::max(palette.transparentIndex, 0);
    if (EGifPutScreenDesc(gif.get(), width, height, 8, background, colourMap.get()) != GIF_OK) {
        return false;
    }
    if (palette.transparentIndex >= 0 && !PutTransparency(gif.get(), palette.transparentIndex)) {
        return false;
    }
    if (EGifPutImageDesc(gif.get(), 0, 0, width, height, false, nullptr) != GIF_OK) {
        return false;
    }
    std::vector<GifPixelType> line(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        reducer.MapRow(reinterpret_cast<const QRgb*>(image.constScanLine(y)), width, line.data());
        if (EGifPutLine(gif.get(), line.data(), width) != GIF_OK) {
            return false;
        }
    }
    const bool closed = EGifCloseFile(gif.release(), &error) == GIF_OK;
    return closed && !sink.failed;
}

}  // namespace

bool WriteGif(const QImage& image, QIODevice* device) {
    if (image.isNull() || image.width() > kMaxGifSide || image.height() > kMaxGifSide ||
        device == nullptr || !device->isWritable()) {
        return false;
    }
    // RGB32 already has the layout of ARGB32 with opaque alpha; everything else is converted
    // (premultiplied pixels are unpremultiplied, so partly transparent colours keep their RGB).
    const QImage pixels = image.format() == QImage::Format_RGB32
                              ? image
                              : image.convertToFormat(QImage::Format_ARGB32);
    if (pixels.isNull()) {
        return false;
    }
    ColourReducer reducer(pixels);
    return Encode(pixels, reducer, device);
}

}  // namespace corvane
