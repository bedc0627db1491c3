// Decoding a JPEG smaller than it is stored, when the caller needs less than the whole picture.
#include "imaging/image_processor.h"
#include "support/temp_tree.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

#include <algorithm>
#include <cstdint>

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
    const BitmapPtr image =
        ImageProcessor().LoadImage(path, nullptr, [&](const ImageProcessor::Declared& declared) {
            seen = declared.size;
            return ImageProcessor::DecodePlan{row.least, {}};
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

// Every format is planned from the size it declares before it is decoded; only a JPEG shrinks,
// and a refused picture is not decoded at all.
TEST(ShrinkOnLoadOther, EveryFormatIsPlannedOnlyJpegShrinksARefusalDecodesNothing) {
    TempTree tree;
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(Qt::gray);
    image.save(tree.Path("p.png"));
    image.save(tree.Path("p.jpg"));
    for (const char* name : {"p.png", "p.jpg"}) {
        QSize seen;
        const BitmapPtr kept = ImageProcessor().LoadImage(
            tree.Path(name), nullptr, [&](const ImageProcessor::Declared& declared) {
                seen = declared.size;
                return ImageProcessor::DecodePlan{QSize(10, 10), {}};
            });
        EXPECT_EQ(seen, QSize(400, 300)) << name;
        EXPECT_EQ(kept->Image().size(), QString(name) == "p.png" ? QSize(400, 300) : QSize(50, 37))
            << name;
        LoadError error;
        const BitmapPtr refused = ImageProcessor().LoadImage(
            tree.Path(name), nullptr,
            [](const ImageProcessor::Declared&) {
                return ImageProcessor::DecodePlan{{}, QStringLiteral("too much")};
            },
            &error);
        EXPECT_FALSE(IsUsable(refused.get())) << name;
        EXPECT_EQ(error.kind, LoadError::Kind::TooLarge) << name;
        EXPECT_EQ(error.text, "too much") << name;
    }
}

// A progressive JPEG keeps its coefficients at full size whatever size it is decoded at, so its
// plan is told them, by the loader and by the stream to PNG alike; a baseline JPEG and a PNG hold
// nothing of the kind. The stream holds the file whole before it decodes, and says so where the
// file is the larger.
TEST(ShrinkOnLoadOther, APlanIsToldTheCoefficientsOfAProgressiveJpeg) {
    TempTree tree;
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(Qt::gray);
    image.save(tree.Path("p.png"));
    image.save(tree.Path("baseline.jpg"));
    QImageWriter writer(tree.Path("progressive.jpg"));
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(image));
    // 4:2:0: one and a half samples a pixel, two bytes each, blocks rounded up.
    const std::uint64_t atLeast = 400 * 300 * 3;
    const struct {
        const char* name;
        bool progressive;
    } rows[] = {{"p.png", false}, {"baseline.jpg", false}, {"progressive.jpg", true}};
    for (const auto& row : rows) {
        std::uint64_t loaded = 1;
        const auto loading = [&](const ImageProcessor::Declared& declared) {
            loaded = declared.decoderBytes;
            return ImageProcessor::DecodePlan{QSize(10, 10), {}};
        };
        ASSERT_TRUE(
            IsUsable(ImageProcessor().LoadImage(tree.Path(row.name), nullptr, loading).get()));
        EXPECT_EQ(loaded >= atLeast && loaded < 2 * atLeast, row.progressive)
            << row.name << " " << loaded;
        EXPECT_EQ(loaded == 0, !row.progressive) << row.name;
        std::uint64_t streamed = 1;
        const auto streaming = [&](const ImageProcessor::Declared& declared) {
            streamed = declared.decoderBytes;
            return ImageProcessor::DecodePlan{};
        };
        EncodedFile encoded;
        LoadError error;
        const auto outcome = ImageProcessor().StreamJpegToPng(tree.Path(row.name), false, &encoded,
                                                              &error, nullptr, streaming);
        const bool jpeg = QString(row.name).endsWith(".jpg");
        EXPECT_EQ(outcome == ImageProcessor::Streamed::Converted, jpeg) << row.name;
        const auto file = static_cast<std::uint64_t>(QFileInfo(tree.Path(row.name)).size());
        EXPECT_EQ(streamed, jpeg ? std::max(loaded, file) : 1) << row.name;
    }
}

}  // namespace
}  // namespace corvane
