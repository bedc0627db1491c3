#pragma once
// How far two pictures are apart, channel by channel: red, green, blue and alpha from 0 to 255,
// compared as non-premultiplied ARGB32 whatever the formats of the two images.

#include <QImage>

namespace corvane::test {

struct ImageDifference {
    int max = 0;              // the largest difference of any channel of any pixel
    double mean = 0;          // the mean absolute difference per channel
    double meanOfBlocks = 0;  // the same between 8 x 8 block averages: what the eye sees as banding
};

// The `max` of two images that differ in size, or of which one is null: above any channel
// difference, so that a bound on `max` fails.
inline constexpr int kSizesDiffer = 1000;

ImageDifference CompareImages(const QImage& a, const QImage& b);

// The largest difference of any channel between two pixels.
int ChannelDistance(QRgb a, QRgb b);

}  // namespace corvane::test
