// JPEG and PNG encoding of a camera-sized picture: EncodeRaster beside the plain Qt calls that do
// the same work (QImageWriter with the same settings, and QImage::save), in one run, so that any
// overhead of our layer shows as a ratio. Each run also reports the output size.
#include "imaging/raster_codec.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Smooth gradients with a little sensor-like noise: compresses like a photograph, unlike a flat
// synthetic image.
QImage PhotographLike(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    std::uint32_t seed = 2024;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        const double v = double(y) / height;
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width;
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 28) - 8;
            const double light = 0.6 + 0.4 * std::sin(2.3 * u + 0.7) * std::cos(1.9 * v - 0.2);
            const int r = int(230 * light * (0.7 + 0.3 * u)) + noise;
            const int g = int(200 * light * (0.5 + 0.5 * v)) + noise;
            const int b = int(110 + 90 * std::sin(4 * u - 3 * v) * light) + noise;
            row[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return image;
}

const QImage& TwelveMegapixels() {
    static const QImage image = PhotographLike(4000, 3000);
    return image;
}

enum class Path { EncodeRaster, QImageWriter, QImageSave };

// The same settings EncodeRaster uses: JPEG quality 75, PNG at the plugin's default.
constexpr int kJpegQuality = 75;

bool Encode(Path path, corvane::FormatKind kind, const QImage& image, QBuffer* buffer) {
    const bool jpeg = kind == corvane::FormatKind::Jpeg;
    const int quality = jpeg ? kJpegQuality : -1;
    switch (path) {
        case Path::EncodeRaster: return corvane::EncodeRaster(image, kind, buffer);
        case Path::QImageWriter: {
            QImageWriter writer(buffer, jpeg ? "jpeg" : "png");
            writer.setQuality(quality);
            return writer.write(image);
        }
        case Path::QImageSave: return image.save(buffer, jpeg ? "JPEG" : "PNG", quality);
    }
    return false;
}

void BM_Encode(benchmark::State& state, corvane::FormatKind kind, Path path) {
    const QImage& image = TwelveMegapixels();
    QByteArray bytes;
    for (auto _ : state) {
        bytes.clear();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!Encode(path, kind, image, &buffer)) {
            state.SkipWithError("encoding failed");
            return;
        }
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = double(bytes.size());
    state.counters["Mpx/s"] = benchmark::Counter(double(image.width()) * image.height() / 1e6,
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

constexpr auto kJpeg = corvane::FormatKind::Jpeg;
constexpr auto kPng = corvane::FormatKind::Png;

BENCHMARK_CAPTURE(BM_Encode, Jpeg12MP_EncodeRaster, kJpeg, Path::EncodeRaster)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Encode, Jpeg12MP_QImageWriter, kJpeg, Path::QImageWriter)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Encode, Jpeg12MP_QImageSave, kJpeg, Path::QImageSave)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Encode, Png12MP_EncodeRaster, kPng, Path::EncodeRaster)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Encode, Png12MP_QImageWriter, kPng, Path::QImageWriter)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Encode, Png12MP_QImageSave, kPng, Path::QImageSave)
    ->Unit(benchmark::kMillisecond);

}  // namespace
