// What keeping the metadata costs per file: a 12 MP JPEG converted to JPEG, PNG and TIFF through
// LoadImage and SaveImage, once carrying full EXIF (with a thumbnail), XMP, IPTC and a comment,
// once the same pixels without any, in one run; and the two metadata steps on their own (the
// write into a buffer that already holds the room, as the output file would).

#include "imaging/image_processor.h"
#include "imaging/metadata.h"
#include "imaging/raster_codec.h"
#include "support/metadata_samples.h"
#include "support/output_formats.h"

#include "photo_like.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

namespace {

using corvane::FormatKind;

const QImage& TwelveMegapixels() {
    static const QImage image = corvane::bench::PhotoLike(4000, 3000);
    return image;
}

// The camera-like source: Qt's JPEG with the sample metadata added by Exiv2 (the pixel data is
// the same bytes as the bare one's).
const QByteArray& Source(bool withMetadata) {
    static const QByteArray bare = [] {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "jpeg").write(TwelveMegapixels());
        return bytes;
    }();
    static const QByteArray full =
        corvane::test::SampleWithMetadata(TwelveMegapixels(), "jpeg", 1, TwelveMegapixels().size());
    return withMetadata ? full : bare;
}

// One file converted: loaded from disk, saved to disk, as the pipeline does.
void BM_Convert(benchmark::State& state, FormatKind kind, bool withMetadata) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.jpg"));
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly) || file.write(Source(withMetadata)) < 0) {
        state.SkipWithError("cannot write the source");
        return;
    }
    file.close();
    const corvane::ImageProcessor processor;
    const corvane::OutputFormat format = corvane::test::FormatOfKind(kind);
    const QString target = dir.filePath(QStringLiteral("out") + format.extension);
    for (auto _ : state) {
        corvane::BitmapPtr image = processor.LoadImage(source);
        if (!processor.SaveImage(image, target, format, nullptr, corvane::IfExists::Replace)) {
            state.SkipWithError("not saved");
            return;
        }
    }
    state.counters["source bytes"] = double(Source(withMetadata).size());
}

void BM_ReadMetadata(benchmark::State& state) {
    const QByteArray& source = Source(true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(corvane::ReadMetadata(source).metadata);
    }
}

void BM_WriteWithMetadata(benchmark::State& state, FormatKind kind) {
    const corvane::MetadataRead read = corvane::ReadMetadata(Source(true));
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (read.metadata == nullptr || !corvane::EncodeRaster(TwelveMegapixels(), kind, &buffer)) {
        state.SkipWithError("no metadata or not encoded");
        return;
    }
    QByteArray written;
    written.reserve(encoded.size() + (1 << 20));
    for (auto _ : state) {
        written.clear();
        QBuffer output(&written);
        output.open(QIODevice::WriteOnly);
        if (!corvane::WriteWithMetadata(encoded, kind, *read.metadata, TwelveMegapixels().size(),
                                        &output)
                 .written) {
            state.SkipWithError("not written");
            return;
        }
    }
    state.counters["output bytes"] = double(encoded.size());
}

constexpr auto kJpeg = FormatKind::Jpeg;
constexpr auto kPng = FormatKind::Png;
constexpr auto kTiff = FormatKind::Tiff;

BENCHMARK_CAPTURE(BM_Convert, JpegToJpeg_Bare, kJpeg, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Convert, JpegToJpeg_Metadata, kJpeg, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Convert, JpegToPng_Bare, kPng, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Convert, JpegToPng_Metadata, kPng, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Convert, JpegToTiff_Bare, kTiff, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Convert, JpegToTiff_Metadata, kTiff, true)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMetadata)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WriteWithMetadata, Jpeg12MP, kJpeg)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WriteWithMetadata, Png12MP, kPng)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WriteWithMetadata, Tiff12MP, kTiff)->Unit(benchmark::kMicrosecond);

}  // namespace
