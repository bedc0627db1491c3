// The adaptive palette: a 15-bit histogram, variance-minimising median cut, then a few k-means
// passes over the histogram.
#include "colour_reduction_parts.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>
#include <vector>

namespace corvane {
namespace {

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

}  // namespace

Palette AdaptivePalette(const QImage& pixels) {
    const Histogram histogram = BuildHistogram(pixels);
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

}  // namespace corvane
