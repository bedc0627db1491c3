// GIF encoding of photograph-sized images: WriteGif beside the nearest plain giflib pipeline
// (its own median-cut GifQuantizeBuffer, no dithering, then EGifPutLine), on the same image.
// Besides time, each run reports the output size and the decoded error: per pixel, and over
// 8x8 blocks, where banding shows.
#include "imaging/gif_writer.h"

#include "photo_like.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <vector>

using corvane::bench::PhotoLike;

namespace {

// 12 MP is a common camera size (4000 x 3000); 2 MP a typical web-sized picture.
const QImage& Photo(int megapixels) {
    static std::map<int, QImage> cache;
    QImage& image = cache[megapixels];
    if (image.isNull()) {
        image = megapixels == 12 ? PhotoLike(4000, 3000) : PhotoLike(1632, 1224);
    }
    return image;
}

void ReportQuality(benchmark::State& state, const QImage& original, const QByteArray& gif) {
    QBuffer buffer;
    buffer.setData(gif);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    reader.setAllocationLimit(0);
    const QImage decoded = reader.read().convertToFormat(QImage::Format_RGB32);
    if (decoded.size() != original.size()) {
        state.SkipWithError("output does not decode");
        return;
    }
    constexpr int kBlock = 8;
    double pixelError = 0, blockError = 0;
    int64_t blocks = 0;
    for (int by = 0; by + kBlock <= original.height(); by += kBlock) {
        for (int bx = 0; bx + kBlock <= original.width(); bx += kBlock) {
            int sum[3] = {};
            for (int y = by; y < by + kBlock; ++y) {
                const auto* a = reinterpret_cast<const QRgb*>(original.constScanLine(y));
                const auto* b = reinterpret_cast<const QRgb*>(decoded.constScanLine(y));
                for (int x = bx; x < bx + kBlock; ++x) {
                    const int d[3] = {qRed(a[x]) - qRed(b[x]), qGreen(a[x]) - qGreen(b[x]),
                                      qBlue(a[x]) - qBlue(b[x])};
                    for (int c = 0; c < 3; ++c) {
                        sum[c] += d[c];
                        pixelError += std::abs(d[c]);
                    }
                }
            }
            for (int c = 0; c < 3; ++c) {
                blockError += std::abs(sum[c]) / double(kBlock * kBlock);
            }
            ++blocks;
        }
    }
    state.counters["bytes"] = double(gif.size());
    state.counters["err_pixel"] = pixelError / (3.0 * double(blocks) * kBlock * kBlock);
    state.counters["err_block8"] = blockError / (3.0 * double(blocks));
}

void BM_GifWriteGif(benchmark::State& state) {
    const QImage& image = Photo(int(state.range(0)));
    QByteArray bytes;
    for (auto _ : state) {
        bytes.clear();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!corvane::WriteGif(image, &buffer)) {
            state.SkipWithError("WriteGif failed");
            return;
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * image.width() * image.height());
    ReportQuality(state, image, bytes);
}

int AppendToArray(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

// The whole job done with giflib alone: split into planes, quantise, encode.
bool GiflibEncode(const QImage& image, QByteArray& bytes) {
    const int width = image.width(), height = image.height();
    const size_t count = size_t(width) * height;
    std::vector<GifByteType> red(count), green(count), blue(count), indices(count);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const size_t i = size_t(y) * width + x;
            red[i] = GifByteType(qRed(row[x]));
            green[i] = GifByteType(qGreen(row[x]));
            blue[i] = GifByteType(qBlue(row[x]));
        }
    }
    int mapSize = 256;
    std::vector<GifColorType> colours(256);
    if (GifQuantizeBuffer(unsigned(width), unsigned(height), &mapSize, red.data(), green.data(),
                          blue.data(), indices.data(), colours.data()) != GIF_OK) {
        return false;
    }
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, AppendToArray, &error);
    bool ok = map != nullptr && gif != nullptr;
    if (ok) {
        EGifSetGifVersion(gif, true);
        ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK &&
             EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
        for (int y = 0; ok && y < height; ++y) {
            ok = EGifPutLine(gif, indices.data() + size_t(y) * width, width) == GIF_OK;
        }
    }
    if (gif != nullptr) {
        ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    }
    GifFreeMapObject(map);
    return ok;
}

void BM_GifGiflibQuantize(benchmark::State& state) {
    const QImage& image = Photo(int(state.range(0)));
    QByteArray bytes;
    for (auto _ : state) {
        bytes.clear();
        if (!GiflibEncode(image, bytes)) {
            state.SkipWithError("giflib encode failed");
            return;
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * image.width() * image.height());
    ReportQuality(state, image, bytes);
}

}  // namespace

BENCHMARK(BM_GifWriteGif)->ArgName("MP")->Arg(2)->Arg(12)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GifGiflibQuantize)->ArgName("MP")->Arg(2)->Arg(12)->Unit(benchmark::kMillisecond);
