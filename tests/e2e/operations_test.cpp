// Whole runs of each operation, checked by what lands in the output folder and by the report.
#include "e2e/batch_harness.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImageReader>

namespace corvane::test {
namespace {

class BatchRun : public ::testing::Test {
protected:
    BatchRun() : source(tree.MakeFolder("src")), out(tree.MakeFolder("out")) {}

    BatchResult Run(QStringList arguments) {
        arguments << QStringLiteral("-q") << QStringLiteral("--json") << QStringLiteral("-o") << out
                  << source;
        return RunBatch(arguments);
    }
    static int Count(const BatchResult& r, const char* key) { return r.json.value(key).toInt(-1); }
    static void ExpectComplete(const BatchResult& r) {
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.json.value("outcome").toString(), QStringLiteral("complete"));
        EXPECT_EQ(r.json.value("verdict").toString(), QStringLiteral("操作全部完成！"));
    }

    TempTree tree;
    QString source;
    QString out;
};

TEST_F(BatchRun, PlainSavesEveryImageAndSkipsOtherFiles) {
    WritePicture(tree, "src/a.png", 40, 30);
    WritePicture(tree, "src/b.jpg", 40, 30);
    WritePicture(tree, "src/c.bmp", 40, 30);
    tree.WriteFile("src/notes.txt", "not a picture");
    const BatchResult r = Run({});
    ExpectComplete(r);
    EXPECT_EQ(Count(r, "total"), 4);
    EXPECT_EQ(Count(r, "processed"), 4);
    EXPECT_EQ(Count(r, "recognised"), 3);
    EXPECT_EQ(Count(r, "expected"), 3);
    EXPECT_EQ(Count(r, "saved"), 3);
    EXPECT_EQ(FilesIn(out), (QStringList{"a.PNG", "b.PNG", "c.PNG"}));
}

// corvane-batch's worker count changes nothing that can be seen: the same files, byte for byte,
// and the same report.
TEST_F(BatchRun, FourWorkersWriteAndReportWhatOneDoes) {
    WritePicture(tree, "src/a.png", 700, 400);
    WritePicture(tree, "src/b.jpg", 90, 70);
    tree.WriteFile("src/c.png", "not a picture");
    WritePicture(tree, "src/d.bmp", 300, 200);
    const QStringList options{"-f", "png,jpeg", "--rotate", "270", "--long-edge", "500"};
    const BatchResult one = Run(options + QStringList{"--threads", "1"});
    ExpectComplete(one);
    const QString first = tree.MakeFolder("out-one");
    for (const QString& name : FilesIn(out)) {
        ASSERT_TRUE(QFile::rename(out + name, first + name));
    }
    const BatchResult four = Run(options + QStringList{"--threads", "4"});
    EXPECT_EQ(four.json, one.json);
    ASSERT_EQ(FilesIn(out), FilesIn(first));
    for (const QString& name : FilesIn(out)) {
        EXPECT_EQ(ReadAll(out + name), ReadAll(first + name)) << name.toStdString();
    }
}

TEST_F(BatchRun, SeveralFormatsShareOneRotationAndOneResize) {
    WritePicture(tree, "src/p.png", 100, 60);
    const BatchResult r =
        Run({"-f", "png,bmp,jpeg,gif,tiff", "--rotate", "90", "--resize-ratio", "0.5"});
    ExpectComplete(r);
    const QStringList files = FilesIn(out);
    ASSERT_EQ(files, (QStringList{"p.BMP", "p.GIF", "p.JPG", "p.PNG", "p.TIF"}));
    for (const QString& name : files) {
        EXPECT_EQ(ImageSize(out + name), QSize(30, 50)) << name.toStdString();
    }
}

TEST_F(BatchRun, CutByCountNamesTilesInOrder) {
    WritePicture(tree, "src/t.png", 100, 60);
    const BatchResult r = Run({"--cut", "2x2"});
    ExpectComplete(r);
    EXPECT_EQ(Count(r, "expected"), 4);
    EXPECT_EQ(FilesIn(out), (QStringList{"t_1.PNG", "t_2.PNG", "t_3.PNG", "t_4.PNG"}));
    EXPECT_EQ(ImageSize(out + "t_4.PNG"), QSize(50, 30));
}

TEST_F(BatchRun, CutByCellSizeKeepsTheRemainders) {
    WritePicture(tree, "src/t.png", 100, 60);
    const BatchResult r = Run({"--cut-cell", "40x40", "-f", "png,bmp"});
    ExpectComplete(r);
    EXPECT_EQ(Count(r, "expected"), 12);
    EXPECT_EQ(FilesIn(out).size(), 12);
    EXPECT_EQ(ImageSize(out + "t_3.PNG"), QSize(20, 40));
    EXPECT_EQ(ImageSize(out + "t_6.BMP"), QSize(20, 20));
}

TEST_F(BatchRun, CombineTwoByOneOverFiveFilesGivesThreeMosaics) {
    for (int i = 1; i <= 5; ++i) {
        WritePicture(tree, QStringLiteral("src/%1.png").arg(i), 10 * i, 20);
    }
    const BatchResult r = Run({"--combine", "2x1"});
    ExpectComplete(r);
    EXPECT_EQ(Count(r, "expected"), 3);
    EXPECT_EQ(Count(r, "combined"), 5);
    // Natural order: 1+2, 3+4, then 5 alone, named after the first image of each.
    EXPECT_EQ(FilesIn(out), (QStringList{"1.PNG", "3.PNG", "5.PNG"}));
    EXPECT_EQ(ImageSize(out + "1.PNG"), QSize(30, 20));
    EXPECT_EQ(ImageSize(out + "3.PNG"), QSize(70, 20));
    EXPECT_EQ(ImageSize(out + "5.PNG"), QSize(50, 20));
}

TEST_F(BatchRun, CutThenCombineUsesEveryTileOnceInEachFormat) {
    WritePicture(tree, "src/a.png", 40, 20);
    WritePicture(tree, "src/b.png", 40, 20);
    const BatchResult r = Run({"--cut", "2x1", "--combine", "3x1", "-f", "png,bmp"});
    ExpectComplete(r);
    EXPECT_EQ(Count(r, "combined"), 4);
    // Four 20 x 20 tiles: one full mosaic of three, then the last tile alone.
    const QStringList files = FilesIn(out);
    ASSERT_EQ(files.size(), 4) << files.join(",").toStdString();
    int width = 0;
    for (const QString& name : files) {
        if (name.endsWith(".PNG")) {
            width += ImageSize(out + name).width();
        }
    }
    EXPECT_EQ(width, 80);  // every tile once
    EXPECT_TRUE(files.contains("a.PNG"));
    EXPECT_TRUE(files.contains("b_1.PNG"));  // the last, incomplete mosaic
}

TEST_F(BatchRun, SameAsSourceKeepsTheExtensionAsWritten) {
    WritePicture(tree, "src/photo.jpeg", 30, 20);
    WritePicture(tree, "src/pic.bmp", 30, 20);
    WritePicture(tree, "src/icon.ppm", 30, 20);
    const BatchResult r = Run({"--same-format"});
    ExpectComplete(r);
    EXPECT_EQ(FilesIn(out), (QStringList{"icon.ppm", "photo.jpeg", "pic.bmp"}));
    EXPECT_EQ(QImageReader(out + "photo.jpeg").format(), QByteArray("jpeg"));
    EXPECT_EQ(QImageReader(out + "pic.bmp").format(), QByteArray("bmp"));
    QImageReader png(out + "icon.ppm");
    png.setDecideFormatFromContent(true);
    EXPECT_EQ(png.format(), QByteArray("png"));  // no encoder for its own format: PNG data
}

TEST_F(BatchRun, DirectCopyIsByteForByteAndOverwriteReplaces) {
    const QString a = WritePicture(tree, "src/a.jpg", 30, 20);
    tree.WriteFile("out/a.jpg", "old bytes");
    BatchResult r = Run({"--copy", "--on-clash", "overwrite"});
    ExpectComplete(r);
    EXPECT_EQ(ReadAll(out + "a.jpg"), ReadAll(a));
    // Nothing ticked at all: the same plain copy, under the prefix rule.
    r = Run({"--format", "none"});
    ExpectComplete(r);
    EXPECT_EQ(FilesIn(out), (QStringList{"_CVN_a.jpg", "a.jpg"}));
    EXPECT_EQ(ReadAll(out + "_CVN_a.jpg"), ReadAll(a));
}

TEST_F(BatchRun, FolderStructureIsRecreatedBelowTheOutput) {
    WritePicture(tree, "src/top.png", 10, 10);
    WritePicture(tree, "src/sub/deeper/low.png", 10, 10);
    const BatchResult r = Run({"-r", "--keep-structure"});
    ExpectComplete(r);
    EXPECT_EQ(TreeBelow(out), (QStringList{"src/sub/deeper/low.PNG", "src/top.PNG"}));
}

TEST_F(BatchRun, ACorruptFileAmongGoodOnesIsSkipped) {
    WritePicture(tree, "src/good1.png", 20, 20);
    WritePicture(tree, "src/good2.png", 20, 20);
    QByteArray broken = ReadAll(WritePicture(tree, "src/broken.png", 200, 200));
    broken.truncate(60);
    tree.WriteFile("src/broken.png", broken);
    const BatchResult r = Run({});
    ExpectComplete(r);
    EXPECT_EQ(Count(r, "total"), 3);
    EXPECT_EQ(Count(r, "processed"), 3);
    EXPECT_EQ(Count(r, "recognised"), 2);
    EXPECT_EQ(FilesIn(out), (QStringList{"good1.PNG", "good2.PNG"}));
}

TEST_F(BatchRun, MultiPathTakesFilesAndFoldersInNaturalOrder) {
    const QString ten = WritePicture(tree, "loose/10.png", 10, 10);
    const QString nine = WritePicture(tree, "loose/9.png", 10, 10);
    WritePicture(tree, "src/x.png", 10, 10);
    const BatchResult r =
        RunBatch({"-q", "--json", "--combine", "3x1", "-o", out, ten, nine, source});
    ExpectComplete(r);
    EXPECT_EQ(FilesIn(out), QStringList{"9.PNG"});  // the mosaic is named after its first image
}

}  // namespace
}  // namespace corvane::test

namespace corvane::test {
namespace {

// A JPEG may be decoded smaller than it is stored when the run shrinks it anyway; the outputs
// still get exactly the sizes the resize arithmetic gives the full picture.
TEST_F(BatchRun, ShrinkingJpegsKeepTheExactResizeArithmetic) {
    for (const auto& [name, size] :
         {std::pair{"even.jpg", QSize(1600, 1200)}, std::pair{"odd.jpg", QSize(1601, 1203)}}) {
        TestPicture(size.width(), size.height())
            .save(tree.Path(QStringLiteral("src/") + name), "JPEG", 95);
    }
    ExpectComplete(Run({"--long-edge", "300"}));
    EXPECT_EQ(ImageSize(out + "even.PNG"), QSize(300, 225));
    EXPECT_EQ(ImageSize(out + "odd.PNG"), QSize(300, 225));  // trunc(1203 * 300 / 1601)
    ExpectComplete(Run({"--resize-ratio", "0.13", "--rotate", "90", "--on-clash", "overwrite"}));
    EXPECT_EQ(ImageSize(out + "even.PNG"), QSize(156, 208));
    EXPECT_EQ(ImageSize(out + "odd.PNG"),
              QSize(156, 208));  // trunc(1203 * 0.13), trunc(1601 * 0.13)
    ExpectComplete(Run({"--copy", "--on-clash", "overwrite"}));
    EXPECT_EQ(ReadAll(out + "odd.jpg"), ReadAll(source + "odd.jpg"));
}

}  // namespace
}  // namespace corvane::test
