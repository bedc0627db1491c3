// Drawing operations beside the plain Qt call that does the nearest same work, in one run:
// resampling a 24 MP photo to a 1600 px long edge, and turning a 12 MP photo by 30 degrees.
// Qt spreads some image work over its own threads, so the CPU column counts every thread of the
// process and the time column is wall-clock.

#include "imaging/image_processor.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QTransform>

#include <memory>

namespace {

using corvane::Bitmap;
using corvane::BitmapPtr;
using corvane::ImageProcessor;

// Photo-like content: smooth gradients crossed by fine detail, so no path meets flat areas.
QImage TestPicture(int width, int height, QImage::Format format) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = qRgba(x * 255 / width, y * 255 / height, (x ^ y) & 0xFF,
                            format == QImage::Format_ARGB32 ? 128 + ((x + y) & 0x7F) : 255);
        }
    }
    return image.convertToFormat(format);
}

QImage::Format FormatArg(const benchmark::State& state) {
    return state.range(0) == 0 ? QImage::Format_RGB32 : QImage::Format_ARGB32;
}

const QImage& Photo24(QImage::Format format) {
    static const QImage opaque = TestPicture(6000, 4000, QImage::Format_RGB32);
    static const QImage translucent = TestPicture(6000, 4000, QImage::Format_ARGB32);
    return format == QImage::Format_RGB32 ? opaque : translucent;
}

const QImage& Photo12() {
    static const QImage photo = TestPicture(4000, 3000, QImage::Format_RGB32);
    return photo;
}

// 6000 x 4000 to a 1600 px long edge, as LimitLongEdge(1600) asks.
constexpr int kResampledWidth = 1600;
constexpr int kResampledHeight = 1066;

// Both input formats, in milliseconds of wall time with the CPU time of every thread.
void RgbAndArgb(benchmark::internal::Benchmark* b) {
    b->Arg(0)
        ->Arg(1)
        ->ArgName("argb")
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
}

void BM_ResampleTo24MpTo1600(benchmark::State& state) {
    const QImage& photo = Photo24(FormatArg(state));
    const ImageProcessor processor;
    for (auto _ : state) {
        BitmapPtr slot = std::make_unique<Bitmap>(photo);
        processor.ResampleTo(slot, kResampledWidth, kResampledHeight);
        benchmark::DoNotOptimize(slot->Image().constBits());
    }
}
BENCHMARK(BM_ResampleTo24MpTo1600)->Apply(RgbAndArgb);

void BM_ResampleQtScaledSmooth24MpTo1600(benchmark::State& state) {
    const QImage& photo = Photo24(FormatArg(state));
    for (auto _ : state) {
        const QImage scaled = photo.scaled(kResampledWidth, kResampledHeight, Qt::IgnoreAspectRatio,
                                           Qt::SmoothTransformation);
        benchmark::DoNotOptimize(scaled.constBits());
    }
}
BENCHMARK(BM_ResampleQtScaledSmooth24MpTo1600)->Apply(RgbAndArgb);

void BM_RotateByAngle12Mp30(benchmark::State& state) {
    const ImageProcessor processor;
    for (auto _ : state) {
        BitmapPtr slot = std::make_unique<Bitmap>(Photo12());
        processor.RotateByAngle(slot, 30.0f, 0x00FFFFFF);
        benchmark::DoNotOptimize(slot->Image().constBits());
    }
}
BENCHMARK(BM_RotateByAngle12Mp30)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_RotateQtTransformed12Mp30(benchmark::State& state) {
    for (auto _ : state) {
        const QImage turned =
            Photo12().transformed(QTransform().rotate(30), Qt::SmoothTransformation);
        benchmark::DoNotOptimize(turned.constBits());
    }
}
BENCHMARK(BM_RotateQtTransformed12Mp30)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
