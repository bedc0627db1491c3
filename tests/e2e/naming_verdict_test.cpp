// Output names under the clash and long-name rules, and the verdicts a run can end with.
#include "e2e/batch_harness.h"

#include <gtest/gtest.h>

#include <csignal>

namespace corvane::test {
namespace {

class BatchNaming : public ::testing::Test {
protected:
    BatchNaming() : source(tree.MakeFolder("src")), out(tree.MakeFolder("out")) {}
    BatchResult Run(QStringList arguments) {
        arguments << "-q"
                  << "--json"
                  << "-o" << out << source;
        return RunBatch(arguments);
    }
    TempTree tree;
    QString source;
    QString out;
};

TEST_F(BatchNaming, ClashPrefixAndSuffixRepeat) {
    WritePicture(tree, "src/cat.png", 10, 10);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(Run({}).exitCode, 0);
    }
    EXPECT_EQ(FilesIn(out), (QStringList{"_CVN__CVN_cat.PNG", "_CVN_cat.PNG", "cat.PNG"}));
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(Run({"--on-clash", "suffix=-v"}).exitCode, 0);
    }
    EXPECT_TRUE(FilesIn(out).contains("cat-v.PNG"));
    EXPECT_TRUE(FilesIn(out).contains("cat-v-v.PNG"));
}

TEST_F(BatchNaming, LongNamesFoldAtTheFrontOrTheBackOrAreAbandoned) {
    WritePicture(tree, "src/0123456789abcdefghij.png", 10, 10);  // 24 characters as .PNG
    WritePicture(tree, "src/short.png", 10, 10);
    ASSERT_EQ(Run({"--name-limit", "20"}).exitCode, 0);
    ASSERT_EQ(Run({"--name-limit", "20", "--on-long-name", "fold-suffix"}).exitCode, 0);
    EXPECT_EQ(FilesIn(out), (QStringList{"0123_CVN_L_1.PNG", "_CVN_L_1_ghij.PNG", "_CVN_short.PNG",
                                         "short.PNG"}));

    const BatchResult skipped = Run({"--name-limit", "20", "--on-long-name", "skip"});
    // The long name is abandoned: processed and expected, not saved; the short one goes on.
    EXPECT_EQ(skipped.json.value("processed").toInt(), 2);
    EXPECT_EQ(skipped.json.value("expected").toInt(), 2);
    EXPECT_EQ(skipped.json.value("saved").toInt(), 1);
    EXPECT_EQ(skipped.exitCode, 1);
    EXPECT_EQ(skipped.json.value("verdict").toString(),
              QStringLiteral("操作部分完成！可能原因：待保存的图片太大，当前版本不能保存。"));
    EXPECT_TRUE(FilesIn(out).contains("_CVN__CVN_short.PNG"));
}

// A tile adds "_1" to a name that already fills the file system's 255 bytes: the write fails,
// and with overwrite nothing shortens the name.
QString NameOfBytes(int bytes) {
    return QString(bytes - 4, u'n') + ".png";
}

TEST_F(BatchNaming, EverySaveFailingIsAFailure) {
    WritePicture(tree, "src/" + NameOfBytes(255), 10, 10);
    const BatchResult r = Run({"--cut", "1x1", "--on-clash", "overwrite"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.json.value("outcome").toString(), "failed");
    EXPECT_EQ(r.json.value("verdict").toString(),
              QStringLiteral("操作失败！文件保存失败！可能原因：待保存图片太大，当前版本不能保存；"
                             "或者磁盘空间不足等原因；"));
    EXPECT_TRUE(TreeBelow(out).isEmpty());  // not even a temporary file
}

// A single folder is processed in natural order: the mosaic holds f1, f2, f3, f4, f10 in that
// order and is named after f1 (the file system lists them in hash order).
TEST_F(BatchNaming, ASingleFolderIsTakenInNaturalOrder) {
    const auto colour = [](int n) { return qRgb(n * 20, 100, 0); };
    for (const int n : {10, 3, 1, 4, 2}) {
        QImage image(n, 4, QImage::Format_RGB32);  // as wide as its number
        image.fill(colour(n));
        image.save(tree.Path(QStringLiteral("src/f%1.png").arg(n)));
    }
    ASSERT_EQ(Run({"--combine", "5x1"}).exitCode, 0);
    ASSERT_EQ(FilesIn(out), QStringList{"f1.PNG"});
    const QImage mosaic(out + "f1.PNG");
    ASSERT_EQ(mosaic.size(), QSize(20, 4));
    int x = 0;
    for (const int n : {1, 2, 3, 4, 10}) {
        EXPECT_EQ(mosaic.pixel(x, 0), colour(n)) << "f" << n << " at " << x;
        x += n;
    }
}

// Linux allows 255 bytes per name: a Chinese name under the character limit but over 255 bytes
// folds as a long name instead of failing to write.
TEST_F(BatchNaming, ANameTooLongInBytesFolds) {
    // 87 characters, 255 bytes without an extension; 259 bytes as ".PNG".
    const QString stem = QString(84, QChar(0x732B)) + "nnn";
    ASSERT_TRUE(TestPicture(10, 10).save(tree.Path("src/" + stem), "PNG"));
    const BatchResult r = Run({});
    EXPECT_EQ(r.json.value("verdict").toString(), QStringLiteral("操作全部完成！"));
    EXPECT_EQ(FilesIn(out), QStringList{"_CVN_L_1_" + stem.mid(16) + ".PNG"});
}

// A tile name too long under the give-up rule gives the whole file up: no further tile and no
// further format. Tiles 1 to 9 fit the limit of 20; tile 10 does not.
TEST_F(BatchNaming, ATileNameTooLongGivesTheWholeFileUp) {
    WritePicture(tree, "src/abcdefghijklmn.png", 100, 10);  // 18 characters as .PNG
    const BatchResult r =
        Run({"--cut", "10x1", "-f", "png,bmp", "--name-limit", "20", "--on-long-name", "skip"});
    EXPECT_EQ(r.json.value("saved").toInt(), 9);
    EXPECT_EQ(FilesIn(out).filter(".BMP").size(), 0);
    EXPECT_EQ(FilesIn(out).size(), 9);
}

// A folder whose name ends in a blank can be chosen as source and as output: its text is trimmed
// only when the text as typed names nothing.
TEST_F(BatchNaming, FoldersEndingInABlankAreTakenAsTyped) {
    WritePicture(tree, "src /a.png", 10, 10);
    tree.MakeFolder("out ");
    const BatchResult r = RunBatch({"-q", "--json", "-o", tree.Path("out "), tree.Path("src ")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(FilesIn(tree.Path("out ")), QStringList{"a.PNG"});
}

TEST_F(BatchNaming, EmptyFolderAndNonImagesComplete) {
    EXPECT_EQ(Run({}).json.value("verdict").toString(), QStringLiteral("操作全部完成！"));
    tree.WriteFile("src/readme.txt", "text");
    tree.WriteFile("src/.hidden", "text");
    const BatchResult r = Run({"--combine", "2x2"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.json.value("hidden").toInt(), 1);
    EXPECT_EQ(r.json.value("recognised").toInt(), 0);
}

TEST_F(BatchNaming, StopBySignalEndsWithStopped) {
    for (int i = 0; i < 40; ++i) {
        WritePicture(tree, QStringLiteral("src/%1.png").arg(i), 400, 300);
    }
    bool sent = false;
    const BatchResult r =
        RunBatchInSteps({"-f", "png,tiff", "-o", out, source}, [&](const RunStep& step, pid_t pid) {
            if (!sent && step.saved == 2) {
                ::kill(pid, SIGINT);
                sent = true;
            }
        });
    ASSERT_TRUE(sent);
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_TRUE(r.out.trimmed().endsWith(QStringLiteral("已停止")));
    EXPECT_EQ(FilesIn(out), (QStringList{"0.PNG", "0.TIF"}));
    for (const QString& name : TreeBelow(out)) {
        EXPECT_FALSE(name.startsWith('.')) << "temporary file left: " << name.toStdString();
    }
}

}  // namespace
}  // namespace corvane::test

namespace corvane::test {
namespace {

// With the structure copied, a file standing where an output folder must go blocks that folder.
class BlockedFolder : public BatchNaming {
protected:
    BlockedFolder() {
        WritePicture(tree, "src/one.png", 10, 10);
        WritePicture(tree, "src/two.png", 10, 10);
        tree.WriteFile("out/src", "a file, not a folder");
    }
};

TEST_F(BlockedFolder, EachFileIsGivenUpAndTheRunEnds) {
    const BatchResult r = Run({"--keep-structure", "-f", "png,bmp"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.json.value("processed").toInt(), 2);
    EXPECT_EQ(r.json.value("expected").toInt(), 4);
    EXPECT_EQ(r.json.value("saved").toInt(), 0);
}

TEST_F(BlockedFolder, ACombineThatCannotBeginEndsWithAFailure) {
    const BatchResult r = Run({"--keep-structure", "--combine", "2x1"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.json.value("verdict").toString(), QStringLiteral("操作失败！"));
    EXPECT_EQ(r.json.value("processed").toInt(), 0);
}

}  // namespace
}  // namespace corvane::test
