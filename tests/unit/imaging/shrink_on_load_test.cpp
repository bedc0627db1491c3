// Decoding a JPEG smaller than it is stored, when the caller needs less than the whole picture.
#include "imaging/image_processor.h"
#include "support/temp_tree.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>

namespace corvane {
namespace {

using test::TempTree;

QString WriteJpeg(const TempTree& tree, const QString& name, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(x, y, qRgb(x * 255 / size.width(), y * 255 / size.height(), 90));
        }
    }
    const QString path = tree.Path(name);
    image.save(path, "JPEG", 95);
    return path;
}

struct ShrinkRow {
    QSize stored;
    QSize least;
    QSize decoded;
};

class ShrinkOnLoad : public ::testing::TestWithParam<ShrinkRow> {};

TEST_P(ShrinkOnLoad, NeverBelowTheLeastSize) {
    TempTree tree;
    const ShrinkRow& row = GetParam();
    const QString path = WriteJpeg(tree, "p.jpg", row.stored);
    QSize seen;
    const BitmapPtr image = ImageProcessor().LoadImage(path, nullptr, [&](QSize declared) {
        seen = declared;
        return row.least;
    });
    ASSERT_TRUE(IsUsable(image.get()));
    EXPECT_EQ(seen, row.stored);
    EXPECT_EQ(image->Image().size(), row.decoded);
    EXPECT_GE(image->Width(), std::min(row.least.width(), row.stored.width()));
    EXPECT_GE(image->Height(), std::min(row.least.height(), row.stored.height()));
}

INSTANTIATE_TEST_SUITE_P(Rows, ShrinkOnLoad,
                         ::testing::Values(ShrinkRow{{1600, 1200}, {1, 1}, {200, 150}},
                                           ShrinkRow{{1600, 1200}, {400, 300}, {400, 300}},
                                           ShrinkRow{{1600, 1200}, {401, 300}, {800, 600}},
                                           ShrinkRow{{1601, 1203}, {200, 150}, {200, 150}},
                                           ShrinkRow{{1600, 1200}, {1600, 1200}, {1600, 1200}},
                                           ShrinkRow{{1600, 1200}, {}, {1600, 1200}},
                                           ShrinkRow{{1600, 1200}, {3000, 10}, {1600, 1200}}),
                         [](const auto& row) {
                             return test::SizeName(row.param.stored) + "_AtLeast" +
                                    test::SizeName(row.param.least);
                         });

TEST(ShrinkOnLoadOther, FormatsThatCannotShrinkAreNotAsked) {
    TempTree tree;
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(Qt::gray);
    image.save(tree.Path("p.png"));
    bool asked = false;
    const BitmapPtr loaded = ImageProcessor().LoadImage(tree.Path("p.png"), nullptr, [&](QSize) {
        asked = true;
        return QSize(10, 10);
    });
    EXPECT_FALSE(asked);
    EXPECT_EQ(loaded->Image().size(), QSize(400, 300));
}

}  // namespace
}  // namespace corvane
