// GIF encoding through giflib. Every giflib call of the program lives in this file.
//
// Colour reduction has two paths:
// - at most 256 distinct colours (all pixels with alpha below 128 counting as one transparent
//   colour): the colours are kept exactly, so drawings, screenshots and GIF sources stay lossless;
// - more colours: an adaptive palette is built from a 15-bit histogram by variance-minimising
//   median cut, refined by a few k-means passes over the histogram, and the pixels are mapped
//   with serpentine Floyd–Steinberg error diffusion so that gradients do not band. Nearest-colour
//   searches go through a lazily filled 18-bit lookup table, so each one is done once per table
//   cell rather than once per pixel.
#include "imaging/gif_writer.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace corvane {
namespace {

constexpr int kMaxGifSide = 65535;  // width and height are 16-bit fields
constexpr int kMaxColours = 256;
constexpr int kOpaqueFrom = 128;  // alpha at or above this is drawn opaque

// Weights of the squared channel differences: the eye tells green steps best, blue worst.
constexpr int kWeightR = 3;
constexpr int kWeightG = 4;
constexpr int kWeightB = 2;

struct Colour {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
};

// The palette as written, and which entry (if any) stands for transparent pixels.
struct Palette {
    std::vector<Colour> colours;
    int transparentIndex = -1;
};

bool IsTransparent(QRgb pixel) {
    return qAlpha(pixel) < kOpaqueFrom;
}

// ---------------------------------------------------------------------------------------------
// Exact palette

constexpr uint32_t kTransparentKey = 0x01000000u;  // outside the range of 24-bit RGB keys

uint32_t ColourKey(QRgb pixel) {
    return IsTransparent(pixel) ? kTransparentKey : pixel & 0xFFFFFFu;
}

// Open-addressing map from colour keys to palette indices, numbered in order of first sight.
// Four times as many slots as colours keeps probe chains short.
class ColourIndex {
public:
    ColourIndex() { keys_.fill(kEmpty); }

    // The index of `key`, adding it when new; -1 when the key is new and the map is full.
    int FindOrAdd(uint32_t key) {
        size_t slot = SlotOf(key);
        while (keys_[slot] != key) {
            if (keys_[slot] == kEmpty) {
                if (count_ == kMaxColours) {
                    return -1;
                }
                keys_[slot] = key;
                indices_[slot] = static_cast<uint8_t>(count_);
                order_[count_++] = key;
                break;
            }
            slot = (slot + 1) % kSlots;
        }
        return indices_[slot];
    }
    int Count() const { return count_; }
    uint32_t KeyAt(int index) const { return order_[index]; }

private:
    static constexpr size_t kSlots = 4 * kMaxColours;
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
    static size_t SlotOf(uint32_t key) { return (key * 2654435761u) >> 22; }  // 10-bit hash

    std::array<uint32_t, kSlots> keys_;
    std::array<uint8_t, kSlots> indices_{};
    std::array<uint32_t, kMaxColours> order_{};
    int count_ = 0;
};

// Indexes every colour of `image`; none when there are more than 256.
std::unique_ptr<ColourIndex> IndexExactColours(const QImage& image) {
    auto index = std::make_unique<ColourIndex>();
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uint32_t last = ~0u;
        for (int x = 0; x < image.width(); ++x) {
            const uint32_t key = ColourKey(row[x]);
            if (key != last && index->FindOrAdd(key) < 0) {
                return nullptr;
            }
            last = key;
        }
    }
    return index;
}

Palette ExactPalette(const ColourIndex& index) {
    Palette palette;
    for (int i = 0; i < index.Count(); ++i) {
        const uint32_t key = index.KeyAt(i);
        if (key == kTransparentKey) {
            palette.transparentIndex = i;
            palette.colours.push_back({});
        } else {
            palette.colours.push_back({static_cast<uint8_t>(key >> 16),
                                       static_cast<uint8_t>(key >> 8), static_cast<uint8_t>(key)});
        }
    }
    return palette;
}

// ---------------------------------------------------------------------------------------------
// Adaptive palette

// One non-empty histogram cell: the mean colour of its pixels and how many there are.
struct Sample {
    std::array<float, 3> rgb;
    double weight;
};

constexpr std::array<double, 3> kChannelWeights = {kWeightR, kWeightG, kWeightB};

struct Histogram {
    std::vector<Sample> samples;
    bool hasTransparent = false;
};

// 5 bits per channel; each cell keeps the sum of its colours so that its mean is exact.
Histogram BuildHistogram(const QImage& image) {
    struct Cell {
        uint64_t count = 0;
        std::array<uint64_t, 3> sum{};
    };
    std::vector<Cell> cells(1 << 15);
    Histogram histogram;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = row[x];
            if (IsTransparent(p)) {
                histogram.hasTransparent = true;
                continue;
            }
            const int r = qRed(p), g = qGreen(p), b = qBlue(p);
            Cell& cell = cells[((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)];
            ++cell.count;
            cell.sum[0] += r;
            cell.sum[1] += g;
            cell.sum[2] += b;
        }
    }
    for (const Cell& cell : cells) {
        if (cell.count == 0) {
            continue;
        }
        const double n = static_cast<double>(cell.count);
        histogram.samples.push_back(
            {{static_cast<float>(cell.sum[0] / n), static_cast<float>(cell.sum[1] / n),
              static_cast<float>(cell.sum[2] / n)},
             n});
    }
    return histogram;
}

// A run of samples [begin, end) and its weighted squared error around its mean, per channel.
struct Box {
    size_t begin;
    size_t end;
    std::array<double, 3> error;
    double TotalError() const { return error[0] + error[1] + error[2]; }
};

Box MakeBox(const std::vector<Sample>& samples, size_t begin, size_t end) {
    double weight = 0;
    std::array<double, 3> sum{}, sumSq{};
    for (size_t i = begin; i < end; ++i) {
        const Sample& s = samples[i];
        weight += s.weight;
        for (int c = 0; c < 3; ++c) {
            sum[c] += s.weight * s.rgb[c];
            sumSq[c] += s.weight * s.rgb[c] * s.rgb[c];
        }
    }
    Box box{begin, end, {}};
    for (int c = 0; c < 3; ++c) {
        box.error[c] = kChannelWeights[c] * std::max(0.0, sumSq[c] - sum[c] * sum[c] / weight);
    }
    return box;
}

// Sorts the box along its channel of largest error and cuts it where the summed error of the two
// halves along that channel is least (rather than at the median, which splits thin tails badly).
std::pair<Box, Box> SplitBox(std::vector<Sample>& samples, const Box& box) {
    const int axis =
        static_cast<int>(std::max_element(box.error.begin(), box.error.end()) - box.error.begin());
    const auto first = samples.begin() + static_cast<std::ptrdiff_t>(box.begin);
    const auto last = samples.begin() + static_cast<std::ptrdiff_t>(box.end);
    std::sort(first, last,
              [axis](const Sample& a, const Sample& b) { return a.rgb[axis] < b.rgb[axis]; });

    double totalW = 0, totalS = 0, totalQ = 0;
    for (auto it = first; it != last; ++it) {
        totalW += it->weight;
        totalS += it->weight * it->rgb[axis];
        totalQ += it->weight * it->rgb[axis] * it->rgb[axis];
    }
    double w = 0, s = 0, q = 0;
    double bestError = -1;
    size_t bestCut = box.begin + 1;
    for (size_t i = box.begin; i + 1 < box.end; ++i) {
        const Sample& sample = samples[i];
        w += sample.weight;
        s += sample.weight * sample.rgb[axis];
        q += sample.weight * sample.rgb[axis] * sample.rgb[axis];
        const double restW = totalW - w, restS = totalS - s, restQ = totalQ - q;
        const double error = (q - s * s / w) + (restQ - restS * restS / restW);
        if (bestError < 0 || error < bestError) {
            bestError = error;
            bestCut = i + 1;
        }
    }
    return {MakeBox(samples, box.begin, bestCut), MakeBox(samples, bestCut, box.end)};
}

std::array<float, 3> MeanOf(const std::vector<Sample>& samples, const Box& box) {
    double weight = 0;
    std::array<double, 3> sum{};
    for (size_t i = box.begin; i < box.end; ++i) {
        weight += samples[i].weight;
        for (int c = 0; c < 3; ++c) {
            sum[c] += samples[i].weight * samples[i].rgb[c];
        }
    }
    return {static_cast<float>(sum[0] / weight), static_cast<float>(sum[1] / weight),
            static_cast<float>(sum[2] / weight)};
}

// Splits the box of largest error until there are `count` boxes or none can be split.
std::vector<std::array<float, 3>> MedianCut(std::vector<Sample> samples, int count) {
    std::vector<Box> boxes{MakeBox(samples, 0, samples.size())};
    while (static_cast<int>(boxes.size()) < count) {
        auto worst = boxes.end();
        for (auto it = boxes.begin(); it != boxes.end(); ++it) {
            if (it->end - it->begin >= 2 && it->TotalError() > 0 &&
                (worst == boxes.end() || it->TotalError() > worst->TotalError())) {
                worst = it;
            }
        }
        if (worst == boxes.end()) {
            break;
        }
        auto [low, high] = SplitBox(samples, *worst);
        *worst = low;
        boxes.push_back(high);
    }
    std::vector<std::array<float, 3>> centres;
    for (const Box& box : boxes) {
        centres.push_back(MeanOf(samples, box));
    }
    return centres;
}

float WeightedDistance(const std::array<float, 3>& a, const std::array<float, 3>& b) {
    const float dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
    return kWeightR * dr * dr + kWeightG * dg * dg + kWeightB * db * db;
}

// Lloyd iterations over the histogram: median-cut boxes are axis-aligned, and moving each centre
// to the mean of the samples nearest to it lowers the error noticeably at little cost.
void RefineCentres(const std::vector<Sample>& samples, std::vector<std::array<float, 3>>& centres,
                   int passes) {
    for (int pass = 0; pass < passes; ++pass) {
        std::vector<std::array<double, 4>> sums(centres.size(), {0, 0, 0, 0});
        for (const Sample& sample : samples) {
            size_t best = 0;
            float bestDistance = WeightedDistance(sample.rgb, centres[0]);
            for (size_t i = 1; i < centres.size(); ++i) {
                const float distance = WeightedDistance(sample.rgb, centres[i]);
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = i;
                }
            }
            for (int c = 0; c < 3; ++c) {
                sums[best][c] += sample.weight * sample.rgb[c];
            }
            sums[best][3] += sample.weight;
        }
        for (size_t i = 0; i < centres.size(); ++i) {
            if (sums[i][3] > 0) {  // a centre that lost all its samples keeps its place
                for (int c = 0; c < 3; ++c) {
                    centres[i][c] = static_cast<float>(sums[i][c] / sums[i][3]);
                }
            }
        }
    }
}

uint8_t ToByte(float value) {
    return static_cast<uint8_t>(std::clamp(static_cast<int>(value + 0.5f), 0, 255));
}

Palette AdaptivePalette(const Histogram& histogram) {
    constexpr int kRefinePasses = 3;
    Palette palette;
    if (!histogram.samples.empty()) {
        const int opaqueCount = histogram.hasTransparent ? kMaxColours - 1 : kMaxColours;
        auto centres = MedianCut(histogram.samples, opaqueCount);
        RefineCentres(histogram.samples, centres, kRefinePasses);
        for (const auto& centre : centres) {
            palette.colours.push_back({ToByte(centre[0]), ToByte(centre[1]), ToByte(centre[2])});
        }
    }
    if (histogram.hasTransparent) {
        palette.transparentIndex = static_cast<int>(palette.colours.size());
        palette.colours.push_back({});
    }
    return palette;
}

// ---------------------------------------------------------------------------------------------
// Mapping pixels to palette indices, one row at a time

class RowMapper {
public:
    virtual ~RowMapper() = default;
    virtual void MapRow(const QRgb* pixels, int width, uint8_t* out) = 0;
};

class ExactMapper final : public RowMapper {
public:
    explicit ExactMapper(std::unique_ptr<ColourIndex> index) : index_(std::move(index)) {}
    void MapRow(const QRgb* pixels, int width, uint8_t* out) override {
        for (int x = 0; x < width; ++x) {
            out[x] = static_cast<uint8_t>(index_->FindOrAdd(ColourKey(pixels[x])));
        }
    }

private:
    std::unique_ptr<ColourIndex> index_;
};

// Serpentine Floyd–Steinberg. Errors are kept in sixteenths; transparent pixels neither take nor
// pass on error, so edges of cut-outs stay clean.
class DitherMapper final : public RowMapper {
public:
    DitherMapper(const Palette& palette, int width)
        : palette_(palette),
          byGreen_(SortedByGreen(palette)),
          nearest_(1 << 18, kUnknown),
          current_(3 * (static_cast<size_t>(width) + 2)),
          next_(current_.size()),
          lastIndex_(byGreen_.empty() ? 0 : byGreen_.front().index) {}

    void MapRow(const QRgb* pixels, int width, uint8_t* out) override {
        const bool leftToRight = (row_++ % 2) == 0;
        const int step = leftToRight ? 1 : -1;
        std::fill(next_.begin(), next_.end(), 0);
        for (int i = 0; i < width; ++i) {
            const int x = leftToRight ? i : width - 1 - i;
            const QRgb p = pixels[x];
            if (IsTransparent(p)) {
                out[x] = static_cast<uint8_t>(palette_.transparentIndex);
                continue;
            }
            int* here = &current_[3 * static_cast<size_t>(x + 1)];
            const int wanted[3] = {Wanted(qRed(p), here[0]), Wanted(qGreen(p), here[1]),
                                   Wanted(qBlue(p), here[2])};
            const int index = NearestIndex(wanted[0], wanted[1], wanted[2]);
            lastIndex_ = index;
            out[x] = static_cast<uint8_t>(index);
            const Colour& got = palette_.colours[index];
            const int error[3] = {wanted[0] - got.r, wanted[1] - got.g, wanted[2] - got.b};
            int* ahead = here + 3 * step;
            int* below = &next_[3 * static_cast<size_t>(x + 1)];
            for (int c = 0; c < 3; ++c) {
                ahead[c] += 7 * error[c];
                below[c - 3 * step] += 3 * error[c];
                below[c] += 5 * error[c];
                below[c + 3 * step] += error[c];
            }
        }
        std::swap(current_, next_);
    }

private:
    static constexpr uint16_t kUnknown = 0xFFFF;
    struct Entry {
        Colour colour;
        int index;
    };

    static int Wanted(int value, int errorSixteenths) {
        return std::clamp(value + ((errorSixteenths + 8) >> 4), 0, 255);
    }

    // Nearest palette entry for the centre of the 6-bit-per-channel cell holding the colour.
    int NearestIndex(int r, int g, int b) {
        const size_t cell = (static_cast<size_t>(r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2);
        uint16_t& cached = nearest_[cell];
        if (cached == kUnknown) {
            cached = static_cast<uint16_t>(Search((r & ~3) + 2, (g & ~3) + 2, (b & ~3) + 2));
        }
        return cached;
    }

    static int Distance(int r, int g, int b, const Colour& c) {
        const int dr = r - c.r, dg = g - c.g, db = b - c.b;
        return kWeightR * dr * dr + kWeightG * dg * dg + kWeightB * db * db;
    }

    // Walks outwards from the entries of nearest green; the green difference alone bounds the
    // distance, so the walk stops early in each direction. The previous pixel's colour is
    // usually close, which makes the bound tight from the start.
    int Search(int r, int g, int b) const {
        const auto start =
            std::lower_bound(byGreen_.begin(), byGreen_.end(), g,
                             [](const Entry& entry, int green) { return entry.colour.g < green; });
        int best = lastIndex_;
        int bestDistance = Distance(r, g, b, palette_.colours[best]);
        const auto consider = [&](const Entry& entry) {
            const int dg = g - entry.colour.g;
            if (kWeightG * dg * dg >= bestDistance) {
                return false;
            }
            const int distance = Distance(r, g, b, entry.colour);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = entry.index;
            }
            return true;
        };
        bool up = true, down = true;
        for (auto high = start, low = start; up || down;) {
            up = up && high != byGreen_.end() && consider(*high++);
            down = down && low != byGreen_.begin() && consider(*--low);
        }
        return best;
    }

    static std::vector<Entry> SortedByGreen(const Palette& palette) {
        std::vector<Entry> entries;
        for (int i = 0; i < static_cast<int>(palette.colours.size()); ++i) {
            if (i != palette.transparentIndex) {
                entries.push_back({palette.colours[i], i});
            }
        }
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.colour.g < b.colour.g; });
        return entries;
    }

    const Palette& palette_;
    const std::vector<Entry> byGreen_;
    std::vector<uint16_t> nearest_;
    std::vector<int> current_;  // errors for this row, one pixel of margin at each end
    std::vector<int> next_;
    int row_ = 0;
    int lastIndex_;
};

// ---------------------------------------------------------------------------------------------
// Writing through giflib

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
        const Colour& c = palette.colours[i];
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

bool Encode(const QImage& image, const Palette& palette, RowMapper& mapper, QIODevice* device) {
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
        mapper.MapRow(reinterpret_cast<const QRgb*>(image.constScanLine(y)), width, line.data());
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
    if (auto index = IndexExactColours(pixels)) {
        const Palette palette = ExactPalette(*index);
        ExactMapper mapper(std::move(index));
        return Encode(pixels, palette, mapper, device);
    }
    const Palette palette = AdaptivePalette(BuildHistogram(pixels));
    DitherMapper mapper(palette, pixels.width());
    return Encode(pixels, palette, mapper, device);
}

}  // namespace corvane
