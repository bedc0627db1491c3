// The colour reduction behind the GIF writer, on its own: which palette it chooses and how the
// pixels map onto it.
#include "imaging/colour_reduction.h"
#include "support/image_difference.h"

#include <gtest/gtest.h>

#include <vector>

namespace corvane {
namespace {

// The picture as the palette shows it: each pixel replaced by its entry (transparent as 0).
QImage Mapped(ColourReducer& reducer, const QImage& pixels) {
    QImage shown(pixels.size(), QImage::Format_ARGB32);
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(pixels.width()));
    const Palette& palette = reducer.Colours();
    for (int y = 0; y < pixels.height(); ++y) {
        reducer.MapRow(reinterpret_cast<const QRgb*>(pixels.constScanLine(y)), pixels.width(),
                       indices.data());
        for (int x = 0; x < pixels.width(); ++x) {
            const int index = indices[static_cast<std::size_t>(x)];
            if (index >= static_cast<int>(palette.colours.size())) {
                ADD_FAILURE() << "index " << index << " outside the palette at " << x << "," << y;
                continue;
            }
            const PaletteColour& c = palette.colours[static_cast<std::size_t>(index)];
            shown.setPixel(x, y, index == palette.transparentIndex ? 0 : qRgb(c.r, c.g, c.b));
        }
    }
    return shown;
}

// What a palette can show of a pixel: alpha below 128 is transparent, anything else opaque.
QRgb Shown(QRgb pixel) {
    return qAlpha(pixel) < 128 ? 0 : (pixel | 0xFF000000u);
}

TEST(ColourReduction, FewColoursAreKeptInTheOrderFirstSeen) {
    QImage image(4, 2, QImage::Format_ARGB32);
    const QRgb row0[] = {qRgb(9, 8, 7), qRgba(1, 2, 3, 0), qRgb(200, 0, 0), qRgb(9, 8, 7)};
    const QRgb row1[] = {qRgba(50, 50, 50, 127), qRgb(0, 0, 255), qRgba(0, 0, 255, 128),
                         qRgb(200, 0, 0)};
    for (int x = 0; x < 4; ++x) {
        image.setPixel(x, 0, row0[x]);
        image.setPixel(x, 1, row1[x]);
    }
    ColourReducer reducer(image);
    ASSERT_TRUE(reducer.IsExact());
    // Both alphas below 128 are one transparent entry, where the first of them came.
    EXPECT_EQ(reducer.Colours().colours,
              (std::vector<PaletteColour>{{9, 8, 7}, {0, 0, 0}, {200, 0, 0}, {0, 0, 255}}));
    EXPECT_EQ(reducer.Colours().transparentIndex, 1);
    const QImage shown = Mapped(reducer, image);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(shown.pixel(x, y), Shown(image.pixel(x, y))) << x << "," << y;
        }
    }
}

// `count` colours up to 256, each drawn as one 4 x 4 block; with a transparent band below.
QImage DistinctColours(int count, bool withTransparent) {
    QImage image(64, 4 * (count / 16 + 2), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int i = 0; i < count; ++i) {
        // Each in a cell of its own in a 5-bit-per-channel histogram.
        const QRgb colour = qRgb((i % 16) * 16, (i / 16) * 16, 128);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                image.setPixel(4 * (i % 16) + x, 4 * (i / 16) + y, colour);
            }
        }
    }
    return withTransparent ? image : image.copy(0, 0, 64, 4 * ((count + 15) / 16));
}

TEST(ColourReduction, TheTransparentEntryCountsAmongThe256) {
    ColourReducer opaque(DistinctColours(256, false));
    EXPECT_TRUE(opaque.IsExact());
    EXPECT_EQ(opaque.Colours().colours.size(), 256u);
    EXPECT_EQ(opaque.Colours().transparentIndex, -1);

    const QImage image = DistinctColours(256, true);
    ColourReducer reducer(image);
    EXPECT_FALSE(reducer.IsExact());
    ASSERT_EQ(reducer.Colours().colours.size(), 256u);
    EXPECT_EQ(reducer.Colours().transparentIndex, 255);  // after the 255 opaque entries
    const QImage shown = Mapped(reducer, image);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ASSERT_EQ(qAlpha(shown.pixel(x, y)), qAlpha(Shown(image.pixel(x, y)))) << x << "," << y;
        }
    }
}

// Two tight families of colours far apart: a palette that served only one would show the other
// in the wrong hue.
TEST(ColourReduction, EveryFamilyOfColoursGetsEntriesNearIt) {
    QImage image(60, 20, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int shade = (x * 7 + y * 3) % 20;
            image.setPixel(x, y,
                           x < 30 ? qRgb(200 + shade, 20 + y, 30) : qRgb(10, 40 + y, 180 + x));
        }
    }
    ColourReducer reducer(image);
    ASSERT_FALSE(reducer.IsExact());
    const QImage shown = Mapped(reducer, image);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ASSERT_LE(test::ChannelDistance(shown.pixel(x, y), image.pixel(x, y)), 16)
                << x << "," << y;
        }
    }
    EXPECT_LT(test::CompareImages(shown, image).meanOfBlocks, 1.0);
}

}  // namespace
}  // namespace corvane
