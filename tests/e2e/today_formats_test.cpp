// Whole runs over a folder of today's formats (HEIC, AVIF, WebP, JPEG XL): every file counted,
// converted upright with its metadata, named and judged exactly as any other source; WebP and
// AVIF outputs from corvane-batch. The sources are made by the reference encoders.
#include "e2e/batch_harness.h"
#include "support/metadata_samples.h"
#include "support/today_samples.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

namespace corvane::test {
namespace {

class TodayFormatsRun : public ::testing::Test {
protected:
    TodayFormatsRun() : source(tree.MakeFolder("src")), out(tree.MakeFolder("out")) {}

    // One photo of each format, made from a JPEG with metadata stating orientation 6 (which the
    // HEIF and JPEG XL files must not apply again: their own container is upright), and a file
    // that only looks like a HEIC.
    bool MakeSources() {
        const QImage picture = PhotoLike(90, 60);
        const QString jpeg = tree.WriteFile("made/source.jpg",
                                            SampleWithMetadata(picture, "jpeg", 1, picture.size()));
        for (const char* format : {"heic", "avif", "webp", "jxl"}) {
            if (!EncodeWithTool(format, jpeg, source + "photo_" + format + "." + format)) {
                return false;
            }
        }
        tree.WriteFile("src/broken.heic", QByteArray("\0\0\0\x18"
                                                     "ftypheic",
                                                     12) +
                                              "junk");
        return true;
    }
    BatchResult Run(QStringList arguments) {
        arguments << QStringLiteral("-q") << QStringLiteral("--json") << QStringLiteral("-o") << out
                  << source;
        return RunBatch(arguments);
    }

    TempTree tree;
    QString source;
    QString out;
};

TEST_F(TodayFormatsRun, ConvertsEveryFormatWithOperationsAndMetadata) {
    for (const char* format : {"heic", "avif", "webp", "jxl"}) {
        if (const QString missing = MissingTool(ToolsOf(format)); !missing.isEmpty()) {
            GTEST_SKIP() << qPrintable(missing);
        }
    }
    ASSERT_TRUE(MakeSources());
    const BatchResult r =
        Run({"-f", "jpeg,png,tiff,webp,avif", "--rotate", "90", "--resize", "30x0"});
    // A file that gives no picture is counted, noted and left out, as any other source is.
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.json.value("outcome").toString(), QStringLiteral("complete"));
    EXPECT_EQ(r.json.value("total").toInt(), 5);
    EXPECT_EQ(r.json.value("recognised").toInt(), 4);
    EXPECT_EQ(r.json.value("saved").toInt(), 20);
    QStringList expected;
    for (const char* format : {"avif", "heic", "jxl", "webp"}) {
        for (const char* extension : {".AVIF", ".JPG", ".PNG", ".TIF", ".WEBP"}) {
            expected << QStringLiteral("photo_%1%2").arg(format, extension);
        }
    }
    EXPECT_EQ(FilesIn(out), expected);
    // Turned by 90 from 90 x 60 (upright), then 30 wide.
    for (const QString& name : expected) {
        if (!name.endsWith(".AVIF") && !name.endsWith(".WEBP")) {
            EXPECT_EQ(ImageSize(out + name), QSize(30, 45)) << name.toStdString();
        }
        const auto tags = Exiv2Tags(ReadAll(out + name));
        if (name.endsWith(".JPG") || name.endsWith(".PNG") || name.endsWith(".TIF") ||
            name.endsWith(".WEBP")) {
            EXPECT_EQ(TagValue(tags, "Exif.Image.Make"), SampleTags().front().exiv2Value)
                << name.toStdString();
            EXPECT_EQ(TagValue(tags, "Exif.Image.Orientation"), "1") << name.toStdString();
        }
    }
    // The JPEG XL, recompressed from the JPEG, holds its IPTC and comment too: they reach the
    // JPEG, PNG and TIFF outputs, and the WebP and AVIF ones say they could not hold them.
    EXPECT_EQ(TagValue(Exiv2Tags(ReadAll(out + "photo_jxl.JPG")), "Comment"), kSampleComment);
    QStringList notes;
    for (const QJsonValue& note : r.json.value("notes").toArray()) {
        notes << note.toObject().value("path").toString().mid(source.size()) + " " +
                     note.toObject().value("kind").toString() + " " +
                     note.toObject().value("text").toString();
    }
    notes.sort();
    const QString leftOut =
        QStringLiteral("the format has no place for them, left out: IPTC, comment");
    EXPECT_EQ(notes.size(), 3) << qPrintable(notes.join('\n'));
    EXPECT_TRUE(notes.value(0).startsWith("broken.heic corrupt ")) << qPrintable(notes.join('\n'));
    EXPECT_EQ(notes.value(1), "photo_jxl.jxl metadata-unwritten AVIF: " + leftOut);
    EXPECT_EQ(notes.value(2), "photo_jxl.jxl metadata-unwritten WEBP: " + leftOut);
}

// Same-as-source: WebP and AVIF stay themselves; HEIC becomes JPEG and JPEG XL PNG, under the
// extension of what they became.
TEST_F(TodayFormatsRun, SameFormatKeepsWhatCanBeWritten) {
    for (const char* format : {"heic", "avif", "webp", "jxl"}) {
        if (const QString missing = MissingTool(ToolsOf(format)); !missing.isEmpty()) {
            GTEST_SKIP() << qPrintable(missing);
        }
    }
    ASSERT_TRUE(MakeSources());
    const BatchResult r = Run({"--same-format", "--cut", "2x1"});
    EXPECT_EQ(r.json.value("saved").toInt(), 8);
    EXPECT_EQ(FilesIn(out),
              (QStringList{"photo_avif_1.avif", "photo_avif_2.avif", "photo_heic_1.JPG",
                           "photo_heic_2.JPG", "photo_jxl_1.PNG", "photo_jxl_2.PNG",
                           "photo_webp_1.webp", "photo_webp_2.webp"}));
}

// WebP alone is a format like any other: with an operation the run is no direct copy (which
// would refuse operations), and the picture is written as WebP.
TEST_F(TodayFormatsRun, WebpAloneWithAnOperationIsWritten) {
    WritePicture(tree, "src/a.png", 40, 30);
    const BatchResult r = Run({"-f", "webp", "--rotate", "90"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(FilesIn(out), QStringList{"a.WEBP"});
    EXPECT_EQ(QImage(out + "a.WEBP").size(), QSize(30, 40));
}

}  // namespace
}  // namespace corvane::test
