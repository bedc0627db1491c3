// Our own quarter turns against Qt's on pictures of several tiles with ragged edges, and the
// kept picture memory: a large picture's block serves the next picture of that size, never two
// live pictures at once.

#include "quarter_turn.h"
#include "imaging/picture_memory.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <QColorSpace>
#include <QTransform>

#include <cstring>
#include <random>

namespace corvane {
namespace {

QImage Noise(int width, int height, QImage::Format format) {
    QImage image(width, height, format);
    std::mt19937 random(width * 31 + height);
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (qsizetype i = 0; i < image.bytesPerLine(); ++i) {
            row[i] = static_cast<uchar>(random());
        }
    }
    image.setColorSpace(QColorSpace::AdobeRgb);
    image.setDotsPerMeterX(2835);
    image.setDotsPerMeterY(3780);
    image.setText(QStringLiteral("Comment"), QStringLiteral("kept"));
    return image;
}

class TurnQuarterTest : public testing::TestWithParam<std::tuple<QImage::Format, int>> {};

// 130 x 67 crosses tile edges on both sides, and the 24-bit rows end in padding.
TEST_P(TurnQuarterTest, MatchesQtPixelForPixelWithThePictureInfo) {
    const auto [format, degrees] = GetParam();
    const QImage source = Noise(130, 67, format);
    const QImage turned = TurnQuarter(source, degrees);
    const QImage expected = source.transformed(QTransform().rotate(degrees));
    ASSERT_EQ(turned.size(), expected.size());
    ASSERT_EQ(turned.format(), format);
    for (int y = 0; y < expected.height(); ++y) {
        const qsizetype used = expected.width() * expected.depth() / 8;
        ASSERT_EQ(std::memcmp(turned.constScanLine(y), expected.constScanLine(y), used), 0)
            << "row " << y;
    }
    EXPECT_EQ(turned.colorSpace(), source.colorSpace());
    EXPECT_EQ(turned.dotsPerMeterX(), 2835);
    EXPECT_EQ(turned.dotsPerMeterY(), 3780);
    EXPECT_EQ(turned.text(QStringLiteral("Comment")), QStringLiteral("kept"));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TurnQuarterTest,
    testing::Combine(testing::Values(QImage::Format_RGB555, QImage::Format_RGB888,
                                     QImage::Format_RGB32, QImage::Format_ARGB32),
                     testing::Values(90, 180, 270)),
    [](const auto& row) {
        return test::FormatName(std::get<0>(row.param)) + "_" +
               std::to_string(std::get<1>(row.param));
    });

TEST(PictureMemory, ALargePictureReusesTheBlockOfTheOneBeforeButNeverALiveOne) {
    ReleaseKeptPictureMemory();
    const uchar* first = nullptr;
    const uchar* second = nullptr;
    {
        QImage a = NewPicture(2000, 1000, QImage::Format_ARGB32);
        ASSERT_FALSE(a.isNull());
        a.fill(0xFF102030u);
        first = a.constBits();
        const QImage b = NewPicture(2000, 1000, QImage::Format_ARGB32);
        second = b.constBits();
        EXPECT_NE(second, first);
    }
    QImage again = NewPicture(1900, 1000, QImage::Format_RGB32);  // a little smaller fits too
    EXPECT_TRUE(again.constBits() == first || again.constBits() == second);
    again.fill(0xFF405060u);
    const QImage copy = again;  // shares the block until written
    again.setPixel(0, 0, 0xFF000000u);
    EXPECT_EQ(copy.pixel(0, 0), 0xFF405060u);
    ReleaseKeptPictureMemory();
}

TEST(PictureMemory, SizesNoPictureCanHaveGiveNullImages) {
    EXPECT_TRUE(NewPicture(0, 10, QImage::Format_ARGB32).isNull());
    EXPECT_TRUE(NewPicture(1 << 30, 1 << 30, QImage::Format_ARGB32).isNull());
    EXPECT_FALSE(NewPicture(3, 3, QImage::Format_RGB888).isNull());
}

}  // namespace
}  // namespace corvane
