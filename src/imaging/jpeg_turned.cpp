#include "jpeg_turned.h"

#include "imaging/picture_memory.h"
#include "jpeg_rows.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace corvane {
namespace {

using Byte = std::uint8_t;

// Rows decoded at a time: a strip of a wide picture stays in the second-level cache while its
// columns are written out as rows of the turned picture.
constexpr int kStripRows = 16;

// One decoded pixel as the picture holds it: RGB32 from red, green, blue; grey as it is.
template <int Samples>
struct Converted;

template <>
struct Converted<3> {
    using Pixel = std::uint32_t;
    static Pixel From(const Byte* in) {
        return 0xFF000000u | (std::uint32_t(in[0]) << 16) | (std::uint32_t(in[1]) << 8) | in[2];
    }
};

template <>
struct Converted<1> {
    using Pixel = Byte;
    static Pixel From(const Byte* in) { return *in; }
};

// Places decoded rows [y0, y0 + rows) of a width x height picture into `target`, turned: source
// pixel (x, y) goes to row x, column h-1-y (90); row h-1-y, column w-1-x (180); or row w-1-x,
// column y (270).
template <int Samples>
void PlaceStrip(const Byte* strip, int y0, int rows, int width, int height, int degrees,
                QImage& target) {
    using C = Converted<Samples>;
    using Pixel = typename C::Pixel;
    const std::size_t stride = static_cast<std::size_t>(width) * Samples;
    const auto row = [&](int y) { return reinterpret_cast<Pixel*>(target.scanLine(y)); };
    if (degrees == 180) {
        for (int i = 0; i < rows; ++i) {
            const Byte* in = strip + i * stride;
            Pixel* out = row(height - 1 - (y0 + i));
            for (int x = 0; x < width; ++x) {
                out[width - 1 - x] = C::From(in + x * Samples);
            }
        }
        return;
    }
    const bool clockwise = degrees == 90;
    for (int x = 0; x < width; ++x) {
        Pixel* out = row(clockwise ? x : width - 1 - x);
        for (int i = 0; i < rows; ++i) {
            const int y = y0 + i;
            out[clockwise ? height - 1 - y : y] = C::From(strip + i * stride + x * Samples);
        }
    }
}

bool DecodeInto(JpegRows& decoder, int degrees, QImage& target) {
    const int width = decoder.Size().width();
    const int height = decoder.Size().height();
    const int samples = decoder.Samples();
    const std::size_t stride = static_cast<std::size_t>(width) * samples;
    std::vector<Byte> strip(stride * kStripRows);
    Byte* pointers[kStripRows];
    for (int i = 0; i < kStripRows; ++i) {
        pointers[i] = strip.data() + i * stride;
    }
    for (int y = 0; y < height; y += kStripRows) {
        const int rows = std::min(kStripRows, height - y);
        if (!decoder.Read(pointers, rows)) {
            return false;
        }
        if (samples == 3) {
            PlaceStrip<3>(strip.data(), y, rows, width, height, degrees, target);
        } else {
            PlaceStrip<1>(strip.data(), y, rows, width, height, degrees, target);
        }
    }
    return decoder.Finish();
}

}  // namespace

TurnedJpeg DecodeJpegTurned(QByteArrayView bytes, int degrees) {
    TurnedJpeg result;
    JpegRows decoder(bytes);
    if ((degrees != 90 && degrees != 180 && degrees != 270) || !decoder.ReadHeader() ||
        decoder.Samples() == 0 || decoder.Size().isEmpty()) {
        return result;
    }
    const QSize size = decoder.Size();
    const QSize turned = degrees == 180 ? size : size.transposed();
    QImage image = NewPicture(turned.width(), turned.height(),
                              decoder.Samples() == 3 ? QImage::Format_RGB32
                                                     : QImage::Format_Grayscale8);
    if (image.isNull()) {
        return result;
    }
    // Read before decoding: the markers are freed when decoding ends.
    image.setColorSpace(decoder.ColourSpace());
    if (decoder.StatesResolution()) {
        image.setDotsPerMeterX(decoder.DotsPerMeterX());
        image.setDotsPerMeterY(decoder.DotsPerMeterY());
    }
    const QMap<QString, QString> texts = decoder.Texts();
    for (auto it = texts.begin(); it != texts.end(); ++it) {
        image.setText(it.key(), it.value());
    }
    if (!decoder.Start() || !DecodeInto(decoder, degrees, image)) {
        result.outcome = TurnedJpeg::Outcome::Damaged;
        result.error = decoder.Error();
        return result;
    }
    result.outcome = TurnedJpeg::Outcome::Decoded;
    result.image = std::move(image);
    return result;
}

}  // namespace corvane
