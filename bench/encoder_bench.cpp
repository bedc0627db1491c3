// JPEG and PNG encoding of a camera-sized picture: EncodeRaster beside the plain Qt calls that do
// the same work (QImageWriter with the same settings, and QImage::save), in one run, so that any
// overhead of our layer shows as a ratio. Each run also reports the output size.
#include "imaging/raster_codec.h"

#include "photo_like.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <cmath>
#include <cstdint>

using corvane::bench::PhotoLike;

namespace {

const QImage& TwelveMegapixels() {
    static const QImage image = PhotoLike(4000, 3000);
    return image;
}

enum class Path { EncodeRaster, QImageWriter, QImageSave };

// The same settings EncodeRaster uses: JPEG quality 75, PNG at the plugin's default.
constexpr int kJpegQuality = 75;

bool Encode(Path path, corvane::FormatKind kind, const QImage& image, QBuffer* buffer) {
    const bool jpeg = kind == corvane::FormatKind::Jpeg;
    const int quality = jpeg ? kJpegQuality : -1;
    switch (path) {
        case Path::EncodeRaster:
            return corvane::EncodeRaster(image, kind, buffer);
        case Path::QImageWriter: {
            QImageWriter writer(buffer, jpeg ? "jpeg" : "png");
            writer.setQuality(quality);
            return writer.write(image);
        }
        case Path::QImageSave:
            return image.save(buffer, jpeg ? "JPEG" : "PNG", quality);
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
