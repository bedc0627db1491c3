// The colour ramp of the shaded progress bar: its bands as numbers, then as painted pixels.
#include "controls/shaded_progress_bar.h"
#include "controls/colour_ramp.h"

#include <gtest/gtest.h>

#include <QImage>

namespace corvane {
namespace {

const QColor kRed{255, 0, 0};
const QColor kBlue{0, 0, 255};
const QColor kGold{255, 215, 0};
const QColor kPurple{128, 0, 128};

TEST(ColourRamp, BandCountIsTheLargestChannelDifference) {
    EXPECT_EQ(RampBandCount(kRed, kBlue, 300), 255);
    EXPECT_EQ(RampBandCount(kGold, kPurple, 300), 215);
    // Equal colours: one band per pixel, so the fill still follows the position.
    EXPECT_EQ(RampBandCount(kGold, kGold, 300), 300);
}

TEST(ColourRamp, FullBarCoversEveryPixelWithTruncatedEdges) {
    const auto bands = ColourRamp(kGold, kPurple, 300, 300);
    ASSERT_EQ(bands.size(), 215u);
    EXPECT_EQ(bands.front(), (RampBand{0, 1, qRgb(255, 215, 0)}));
    // Band i spans trunc(i * 300 / 215) to trunc((i + 1) * 300 / 215).
    EXPECT_EQ(bands[100].begin, 139);
    EXPECT_EQ(bands[100].end, 140);
    EXPECT_EQ(bands.back().end, 300);
    for (std::size_t i = 1; i < bands.size(); ++i) {
        ASSERT_EQ(bands[i].begin, bands[i - 1].end) << "gap before band " << i;
    }
    // start + i * step, truncated: i = 100 gives 255 - 59.07, 215 - 100, 0 + 59.53.
    EXPECT_EQ(bands[100].colour, qRgb(195, 115, 59));
    EXPECT_EQ(bands.back().colour, qRgb(128, 1, 127));
}

TEST(ColourRamp, StopsAfterTheFirstBandPastThePosition) {
    struct Row {
        const char* name;
        QColor start, end;
        int length, filled;
        std::size_t bands;
        int lastEnd;
    };
    const Row rows[] = {
        {"band edge on the position draws one more", QColor(0, 0, 0), QColor(4, 0, 0), 100, 50, 3,
         75},
        {"position inside a band ends with it", QColor(0, 0, 0), QColor(4, 0, 0), 100, 30, 2, 50},
        {"narrow bands stop at the first pixel past", kRed, kBlue, 100, 40, 105, 41},
        {"nothing filled still draws the first pixel", kRed, kBlue, 100, 0, 3, 1},
        {"empty bar length draws nothing", kRed, kBlue, 0, 0, 0, 0},
    };
    for (const Row& row : rows) {
        const auto bands = ColourRamp(row.start, row.end, row.length, row.filled);
        EXPECT_EQ(bands.size(), row.bands) << row.name;
        if (!bands.empty()) {
            EXPECT_EQ(bands.back().end, row.lastEnd) << row.name;
            EXPECT_GT(bands.back().end, row.filled) << row.name;
        }
    }
}

TEST(ColourRamp, FilledLengthAndEmptyBar) {
    struct Row {
        const char* name;
        int position, lower, upper;
        std::optional<int> filled;
    };
    const Row rows[] = {
        {"at the lower bound", 0, 0, 100, std::nullopt},
        {"below the lower bound", -5, 0, 100, std::nullopt},
        {"above the upper bound", 101, 0, 100, std::nullopt},
        {"at the upper bound", 100, 0, 100, 200},
        {"half way, truncated", 33, 0, 100, 66},
        {"range not starting at zero", 75, 50, 100, 100},
        {"huge range without overflow", 2'000'000'000, 0, 2'100'000'000, 190},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FilledLength(row.position, row.lower, row.upper, 200), row.filled) << row.name;
    }
}

TEST(ColourRamp, PercentageTextHasThreeDigitWidth) {
    EXPECT_EQ(PercentageText(5, 0, 100), QStringLiteral("  5 %"));
    EXPECT_EQ(PercentageText(100, 0, 100), QStringLiteral("100 %"));
    EXPECT_EQ(PercentageText(1, 0, 3), QStringLiteral(" 33 %"));
    EXPECT_EQ(PercentageText(75, 50, 100), QStringLiteral(" 50 %"));
}

class ShadedProgressBarPaint : public ::testing::Test {
protected:
    ShadedProgressBarPaint() {
        bar.resize(302, 22);  // a 300 x 20 client area inside the one-pixel edge
        bar.SetStartColour(kGold);
        bar.SetEndColour(kPurple);
        bar.SetBackgroundColour(Qt::white);
    }
    // The client area.
    QImage Grab() {
        return bar.grab().toImage().convertToFormat(QImage::Format_RGB32).copy(1, 1, 300, 20);
    }
    QRgb ButtonFace() const { return bar.palette().color(QPalette::Button).rgb(); }
    CShadedProgressBar bar;
};

TEST_F(ShadedProgressBarPaint, EmptyBarIsButtonFaceAtAndOutsideTheBounds) {
    for (int position : {0, 101}) {
        bar.SetPos(position);
        const QImage image = Grab();
        EXPECT_EQ(image.pixel(0, 10), ButtonFace()) << position;
        EXPECT_EQ(image.pixel(299, 10), ButtonFace()) << position;
    }
    const QImage whole = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(whole.pixel(0, 10), bar.palette().color(QPalette::Dark).rgb()) << "static edge";
    EXPECT_EQ(whole.pixel(301, 10), bar.palette().color(QPalette::Light).rgb());
    EXPECT_EQ(bar.Pos(), 101);
    EXPECT_EQ(bar.value(), 100) << "the accessible value stays in range";
}

TEST_F(ShadedProgressBarPaint, BandsShowTheirColoursUpToThePosition) {
    bar.SetPos(50);  // 150 of 300 pixels
    const QImage image = Grab();
    // Worked out by hand: 215 bands of 300 / 215 pixels; band i spans trunc(i * 300 / 215) to
    // trunc((i + 1) * 300 / 215) and is gold + i * (purple - gold) / 215, truncated.
    struct Pixel {
        int x;
        QRgb colour;
    };
    const Pixel expected[] = {
        {0, qRgb(255, 215, 0)},     // band 0
        {75, qRgb(223, 161, 32)},   // band 54: 255 - 31.9, 215 - 54, 0 + 32.1
        {139, qRgb(195, 115, 59)},  // band 100 begins here
        {150, qRgb(191, 107, 64)},  // band 108 (150 to 152): the first to end past 150
        {151, qRgb(191, 107, 64)},  {152, qRgb(255, 255, 255)},  // the background after it
        {299, qRgb(255, 255, 255)},
    };
    for (const Pixel& pixel : expected) {
        EXPECT_EQ(image.pixel(pixel.x, 0), pixel.colour) << pixel.x;
        EXPECT_EQ(image.pixel(pixel.x, 19), pixel.colour) << pixel.x;
    }
}

TEST_F(ShadedProgressBarPaint, FullBarEndsInTheRampsLastColour) {
    bar.SetPos(100);
    const QImage image = Grab();
    EXPECT_EQ(image.pixel(0, 5), kGold.rgb());
    EXPECT_EQ(image.pixel(299, 5), qRgb(128, 1, 127));
}

TEST_F(ShadedProgressBarPaint, VerticalBarRunsFromTheTop) {
    bar.setOrientation(Qt::Vertical);
    bar.resize(22, 302);
    bar.SetPos(50);
    const QImage image =
        bar.grab().toImage().convertToFormat(QImage::Format_RGB32).copy(1, 1, 20, 300);
    EXPECT_EQ(image.pixel(10, 0), kGold.rgb());
    EXPECT_EQ(image.pixel(10, 299), QColor(Qt::white).rgb());
}

TEST_F(ShadedProgressBarPaint, PercentageIsDrawnInTheMiddleOnlyWhenAskedFor) {
    bar.SetBackgroundColour(Qt::black);
    bar.SetPos(1);  // nearly all background, so the white text stands out
    const auto whitePixels = [](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 100; x < 200; ++x) {
                count += qGray(image.pixel(x, y)) > 128;
            }
        }
        return count;
    };
    EXPECT_EQ(whitePixels(Grab()), 0);
    bar.SetShowPercentage(true);
    EXPECT_GT(whitePixels(Grab()), 10);
}

TEST_F(ShadedProgressBarPaint, SetRangeMovesThePositionToTheLowerBound) {
    bar.SetPos(70);
    bar.SetRange(10, 20);
    EXPECT_EQ(bar.Pos(), 10);
    EXPECT_EQ(Grab().pixel(0, 0), ButtonFace());
    bar.setValue(15);  // the QProgressBar interface keeps the position in step
    EXPECT_EQ(bar.Pos(), 15);
}

}  // namespace
}  // namespace corvane
