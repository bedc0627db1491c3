#include "geometry_test_util.h"
#include "imaging/image_processor.h"
#include "imaging/rotate_geometry.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace corvane {
namespace {

using test::CodedBitmap;
using test::SolidBitmap;

struct PlanCase {
    float angle;
    TurnKind kind;
    int quarter;
    float rest;
};

class TurnPlanTest : public testing::TestWithParam<PlanCase> {};

TEST_P(TurnPlanTest, ReducesAndClassifies) {
    const PlanCase row = GetParam();
    const TurnPlan plan = PlanTurn(row.angle);
    EXPECT_EQ(plan.kind, row.kind);
    EXPECT_EQ(plan.quarter, row.quarter);
    EXPECT_NEAR(plan.rest, row.rest, 1e-3);
}

constexpr TurnKind kSame = TurnKind::Unchanged;
constexpr TurnKind kQuarter = TurnKind::Quarter;
constexpr TurnKind kDrawn = TurnKind::General;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// -0.0005 is within 0.001 degrees of no turn; 1e10 = 27777777 turns + 280, far past an int.
INSTANTIATE_TEST_SUITE_P(
    Rotation, TurnPlanTest,
    testing::Values(PlanCase{0, kSame, 0, 0}, PlanCase{360, kSame, 0, 0},
                    PlanCase{360.0004f, kSame, 0, 0}, PlanCase{-0.0005f, kSame, 0, 0},
                    PlanCase{90, kQuarter, 90, 0}, PlanCase{270, kQuarter, 270, 0},
                    PlanCase{450, kQuarter, 90, 0}, PlanCase{89.9995f, kQuarter, 90, 0},
                    PlanCase{-90, kQuarter, 270, 0}, PlanCase{30, kDrawn, 0, 30},
                    PlanCase{120, kDrawn, 90, 30}, PlanCase{-30, kDrawn, 270, 60},
                    PlanCase{200.5f, kDrawn, 180, 20.5f}, PlanCase{1e10f, kDrawn, 270, 10},
                    PlanCase{kNaN, TurnKind::Invalid, 0, 0}),
    [](const auto& row) { return "Angle" + test::NumberName(row.param.angle); });

struct CanvasCase {
    int width, height;
    float rest;
    qint64 canvasWidth, canvasHeight;
};

class TurnCanvasTest : public testing::TestWithParam<CanvasCase> {};

TEST_P(TurnCanvasTest, JustHoldsTheTurnedImage) {
    const CanvasCase row = GetParam();
    const TurnCanvas canvas = CanvasForTurn(row.width, row.height, row.rest);
    EXPECT_EQ(canvas.width, row.canvasWidth);
    EXPECT_EQ(canvas.height, row.canvasHeight);
    // Where a rotation of the source rectangle puts its corners; the upper-right x is the
    // whole canvas width. For 100 x 50 at 30: (25, 0), (112, 50), (0, 43.30).
    const double alpha = row.rest * M_PI / 180.0;
    EXPECT_NEAR(canvas.upperLeft.x(), row.height * std::sin(alpha), 1e-4);
    EXPECT_EQ(canvas.upperLeft.y(), 0.0);
    EXPECT_EQ(canvas.upperRight.x(), double(row.canvasWidth));
    EXPECT_NEAR(canvas.upperRight.y(), row.width * std::sin(alpha), 1e-4);
    EXPECT_EQ(canvas.lowerLeft.x(), 0.0);
    EXPECT_NEAR(canvas.lowerLeft.y(), row.height * std::cos(alpha), 1e-4);
}

// 50 x 100 rows: a 100 x 50 image at 120 (turned 90, then 30) and at -30 (270, then 60).
INSTANTIATE_TEST_SUITE_P(Rotation, TurnCanvasTest,
                         testing::Values(CanvasCase{100, 50, 30, 112, 94},
                                         CanvasCase{50, 100, 30, 94, 112},
                                         CanvasCase{50, 100, 60, 112, 94},
                                         CanvasCase{200, 100, 45, 213, 213}),
                         [](const auto& row) {
                             return test::SizeName(QSize(row.param.width, row.param.height)) +
                                    "TurnedBy" + test::NumberName(row.param.rest);
                         });

TEST(Rotation, DrawnTurnIsClockwiseOpaqueWithBackgroundCorners) {
    BitmapPtr slot = SolidBitmap(100, 50, 0xFFCC0000, QImage::Format_RGB32);
    slot->Image().setDevicePixelRatio(2.0);  // as Qt loads "name@2x.png"; must not matter
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) {
            slot->Image().setPixel(x, y, 0xFFFFFFFF);  // mark the upper-left corner
        }
    }
    ImageProcessor().RotateByAngle(slot, 30.0f, 0x00FF8040);  // 0x00BBGGRR
    ASSERT_TRUE(IsUsable(slot.get()));
    const QImage& image = slot->Image();
    EXPECT_EQ(image.format(), QImage::Format_ARGB32);
    const int right = image.width() - 1;
    const int bottom = image.height() - 1;
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom)}) {
        EXPECT_EQ(image.pixel(corner), 0xFF4080FFu);
    }
    EXPECT_EQ(image.pixel(26, 4), 0xFFFFFFFFu);   // the mark, just right of (25, 0)
    EXPECT_EQ(image.pixel(86, 60), 0xFFCC0000u);  // near the lower-right corner
    for (int y = 0; y <= bottom; ++y) {
        for (int x = 0; x <= right; ++x) {
            ASSERT_EQ(qAlpha(image.pixel(x, y)), 255) << x << "," << y;
        }
    }
}

class QuarterTurnTest : public testing::TestWithParam<std::tuple<QImage::Format, float>> {};

TEST_P(QuarterTurnTest, MovesEveryPixelExactlyAndKeepsTheFormat) {
    const auto [format, angle] = GetParam();
    const BitmapPtr original = CodedBitmap(7, 5, format, 8);  // multiples of 8 survive RGB555
    BitmapPtr slot = std::make_unique<Bitmap>(original->Image());
    ImageProcessor().RotateByAngle(slot, angle, 0x0000FF00);
    ASSERT_TRUE(IsUsable(slot.get()));
    EXPECT_EQ(slot->Image().format(), format);
    const int degrees = static_cast<int>(std::lround(angle)) % 360;
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            const QPoint to = degrees == 90    ? QPoint(4 - y, x)
                              : degrees == 180 ? QPoint(6 - x, 4 - y)
                              : degrees == 270 ? QPoint(y, 6 - x)
                                               : QPoint(x, y);
            ASSERT_EQ(slot->Image().pixel(to), original->Image().pixel(x, y)) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rotation, QuarterTurnTest,
    testing::Combine(testing::Values(QImage::Format_RGB555, QImage::Format_RGB888,
                                     QImage::Format_RGB32, QImage::Format_ARGB32),
                     testing::Values(0.0f, 360.0004f, 89.9995f, 180.0f, 270.0f)),
    [](const auto& row) {
        return test::FormatName(std::get<0>(row.param)) + "_Angle" +
               test::NumberName(std::get<1>(row.param));
    });

TEST(Rotation, CanvasTooLargeLeavesAFailedBitmapInsteadOfCrashing) {
    // 100000 x 1 at 45 degrees asks for about 70711 x 70711 pixels (20 GB).
    BitmapPtr slot = SolidBitmap(100000, 1, 0xFF000000);
    ImageProcessor().RotateByAngle(slot, 45.0f, 0);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->TakeStatus(), ImageStatus::OutOfMemory);
    EXPECT_FALSE(IsUsable(slot.get()));
}

}  // namespace
}  // namespace corvane
