#include "support/image_difference.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace corvane::test {
namespace {

constexpr int kBlock = 8;
constexpr int kChannels = 4;

std::array<int, kChannels> Channels(QRgb pixel) {
    return {qRed(pixel), qGreen(pixel), qBlue(pixel), qAlpha(pixel)};
}

// Sums of absolute channel differences over one block: per pixel, and between the block sums.
struct BlockSums {
    long long pixels = 0;
    double blockMean = 0;
    int max = 0;
};

BlockSums CompareBlock(const QImage& a, const QImage& b, const QRect& block) {
    BlockSums sums;
    std::array<long long, kChannels> totalA{}, totalB{};
    for (int y = block.top(); y <= block.bottom(); ++y) {
        for (int x = block.left(); x <= block.right(); ++x) {
            const auto ca = Channels(a.pixel(x, y));
            const auto cb = Channels(b.pixel(x, y));
            for (int c = 0; c < kChannels; ++c) {
                const int difference = std::abs(ca[c] - cb[c]);
                sums.pixels += difference;
                sums.max = std::max(sums.max, difference);
                totalA[c] += ca[c];
                totalB[c] += cb[c];
            }
        }
    }
    const double area = double(block.width()) * block.height();
    for (int c = 0; c < kChannels; ++c) {
        sums.blockMean += std::abs(totalA[c] - totalB[c]) / area;
    }
    return sums;
}

}  // namespace

ImageDifference CompareImages(const QImage& a, const QImage& b) {
    if (a.isNull() || b.isNull() || a.size() != b.size()) {
        return {kSizesDiffer, 255.0, 255.0};
    }
    const QImage left = a.convertToFormat(QImage::Format_ARGB32);
    const QImage right = b.convertToFormat(QImage::Format_ARGB32);
    ImageDifference difference;
    long long pixelSum = 0;
    double blockSum = 0;
    int blocks = 0;
    for (int y = 0; y < left.height(); y += kBlock) {
        for (int x = 0; x < left.width(); x += kBlock) {
            const BlockSums sums =
                CompareBlock(left, right, QRect(x, y, kBlock, kBlock) & left.rect());
            pixelSum += sums.pixels;
            blockSum += sums.blockMean;
            difference.max = std::max(difference.max, sums.max);
            ++blocks;
        }
    }
    difference.mean = double(pixelSum) / (double(kChannels) * left.width() * left.height());
    difference.meanOfBlocks = blockSum / (double(kChannels) * blocks);
    return difference;
}

int ChannelDistance(QRgb a, QRgb b) {
    const auto ca = Channels(a);
    const auto cb = Channels(b);
    int worst = 0;
    for (int c = 0; c < kChannels; ++c) {
        worst = std::max(worst, std::abs(ca[c] - cb[c]));
    }
    return worst;
}

}  // namespace corvane::test
