// Every refusal of the checks before a run, reached through corvane-batch's arguments.
#include "e2e/batch_harness.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace corvane::test {
namespace {

struct RefusalRow {
    const char* name;
    QStringList
        arguments;  // "SRC", "OUT", "TXT" stand for a source folder, output folder, text file
    const char16_t* message;
};

class BatchRefusal : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(BatchRefusal, ShowsTheMessageAndExitsWithThree) {
    TempTree tree;
    WritePicture(tree, "src/a.png", 10, 10);
    const QString text = tree.WriteFile("notes.txt", "text");
    const QString fifo = tree.Path("fifo");
    ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
    const QString dangling = tree.Path("dangling");
    ::symlink("nowhere", QFile::encodeName(dangling).constData());
    QStringList arguments;
    for (QString argument : GetParam().arguments) {
        argument.replace("SRC", tree.Path("src"))
            .replace("OUT", tree.MakeFolder("out"))
            .replace("TXT", text)
            .replace("FIFO", fifo)
            .replace("DANGLING", dangling);
        arguments << argument;
    }
    const BatchResult r = RunBatch(arguments + QStringList{"--json", "-q"});
    EXPECT_EQ(r.exitCode, 3) << GetParam().name;
    EXPECT_EQ(r.json.value("outcome").toString(), "refused");
    EXPECT_EQ(r.json.value("verdict").toString(), QString::fromUtf16(GetParam().message))
        << GetParam().name;
    EXPECT_TRUE(r.err.contains(QString::fromUtf16(GetParam().message)));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BatchRefusal,
    ::testing::Values(
        RefusalRow{"missing source", {"-o", "OUT", "SRC/none"}, u"请填写或选择正确的  打开路径。"},
        RefusalRow{"ratio zero",
                   {"-o", "OUT", "--resize-ratio", "0", "SRC"},
                   u"请输入大于零的 缩放比例数"},
        RefusalRow{"both sides zero",
                   {"-o", "OUT", "--resize", "0x0", "SRC"},
                   u"图像缩放的宽高，不能同时为零。"},
        RefusalRow{"fractional width",
                   {"-o", "OUT", "--resize", "1.5x0", "SRC"},
                   u"请输入大于-1的 图像缩放 宽度，并且输入数值不能含有小数点。"},
        RefusalRow{"negative height",
                   {"-o", "OUT", "--resize", "0x-5", "SRC"},
                   u"请输入大于-1的 图像缩放 高度，并且输入数值不能含有小数点。"},
        RefusalRow{"long edge zero",
                   {"-o", "OUT", "--long-edge", "0", "SRC"},
                   u"请输入大于零的 大边约束 数值。"},
        RefusalRow{"blocks across",
                   {"-o", "OUT", "--cut", "1.5x2", "SRC"},
                   u"请输入大于零的 图像切割 水平模块数，并且输入数值不能含有小数点。"},
        RefusalRow{"blocks down leading zero",
                   {"-o", "OUT", "--cut", "2x01", "SRC"},
                   u"请输入大于零的 图像切割 垂直模块数，并且输入数值不能含有小数点。"},
        RefusalRow{"cell width",
                   {"-o", "OUT", "--cut-cell", "+3x2", "SRC"},
                   u"请输入大于零的 图像切割 单元格的宽，并且输入数值不能含有小数点。"},
        RefusalRow{"cell height",
                   {"-o", "OUT", "--cut-cell", "3x0", "SRC"},
                   u"请输入大于零的 图像切割 单元格的高，并且输入数值不能含有小数点。"},
        RefusalRow{"combine across",
                   {"-o", "OUT", "--combine", "0x2", "SRC"},
                   u"请输入大于零的 图像合并 水平模块数，并且输入数值不能含有小数点。"},
        RefusalRow{"combine down",
                   {"-o", "OUT", "--combine", "2x2.0", "SRC"},
                   u"请输入大于零的 图像合并 垂直模块数，并且输入数值不能含有小数点。"},
        RefusalRow{"blank watermark",
                   {"-o", "OUT", "--watermark-text", "   ", "SRC"},
                   u"请填写 水印文字。"},
        RefusalRow{"missing watermark picture",
                   {"-o", "OUT", "--watermark-image", "SRC/none.png", "SRC"},
                   u"请填写或选择正确的  水印图片的路径。"},
        RefusalRow{"operation without format",
                   {"-o", "OUT", "-f", "none", "--rotate", "90", "SRC"},
                   u"直接拷贝模式下，不允许勾选任何操作（包括旋转，缩放，切割，合并，加水印）。"},
        RefusalRow{"missing output", {"-o", "OUT/none", "SRC"}, u"请填写或选择正确的  保存路径。"},
        RefusalRow{"blank prefix",
                   {"-o", "OUT", "--on-clash", "prefix= ", "SRC"},
                   u"请填写 文件重名时 添加的前缀名。"},
        RefusalRow{"blank suffix",
                   {"-o", "OUT", "--on-clash", "suffix=", "SRC"},
                   u"请填写 文件重名时 添加的后缀名。"},
        // A clash text that would put outputs outside the output folder.
        RefusalRow{"prefix leaving the folder",
                   {"-o", "OUT", "--on-clash", "prefix=../", "SRC"},
                   u"请填写 文件重名时 添加的前缀名，并且前缀名不能含有路径分隔符或“..”。"},
        RefusalRow{"suffix with a folder",
                   {"-o", "OUT", "--on-clash", "suffix=/x", "SRC"},
                   u"请填写 文件重名时 添加的后缀名，并且后缀名不能含有路径分隔符或“..”。"},
        RefusalRow{"suffix with dots",
                   {"-o", "OUT", "--on-clash", "suffix=..", "SRC"},
                   u"请填写 文件重名时 添加的后缀名，并且后缀名不能含有路径分隔符或“..”。"},
        // A single source that is no folder is refused, not stopped.
        RefusalRow{
            "device as source", {"-o", "OUT", "/dev/zero"}, u"请填写或选择正确的  打开路径。"},
        RefusalRow{"pipe as source", {"-o", "OUT", "FIFO"}, u"请填写或选择正确的  打开路径。"},
        RefusalRow{"dangling link as source",
                   {"-o", "OUT", "DANGLING"},
                   u"请填写或选择正确的  打开路径。"},
        RefusalRow{"limit too small",
                   {"-o", "OUT", "--name-limit", "19", "SRC"},
                   u"文件名长度限制数字应该在 20 到 218 之间。"},
        RefusalRow{"limit too large",
                   {"-o", "OUT", "--name-limit", "2 19", "SRC"},
                   u"文件名长度限制数字应该在 20 到 218 之间。"},
        RefusalRow{"output is a file",
                   {"-o", "TXT", "SRC"},
                   u"创建保存路径失败，请检查保存路径及确认磁盘状况，或者稍候重试。"},
        // A copy allows no operation, as the dialog says where nothing but a copy is made.
        RefusalRow{"copy and rotate",
                   {"-o", "OUT", "--copy", "--rotate", "90", "SRC"},
                   u"直接拷贝模式下，不允许勾选任何操作（包括旋转，缩放，切割，合并，加水印）。"},
        RefusalRow{"copy and resize",
                   {"-o", "OUT", "--copy", "--resize", "10x10", "SRC"},
                   u"直接拷贝模式下，不允许勾选任何操作（包括旋转，缩放，切割，合并，加水印）。"},
        RefusalRow{"copy and watermark",
                   {"-o", "OUT", "--copy", "--watermark-text", "x", "SRC"},
                   u"直接拷贝模式下，不允许勾选任何操作（包括旋转，缩放，切割，合并，加水印）。"},
        // Every number is checked as what it is used as: the long edge as whole pixels, the
        // angle as a single-precision number, whole numbers as 32-bit ones, reals as finite.
        RefusalRow{"long edge beyond 32 bits",
                   {"-o", "OUT", "--long-edge", "1e300", "SRC"},
                   u"请输入大于零的 大边约束 数值。"},
        RefusalRow{"long edge below a pixel",
                   {"-o", "OUT", "--long-edge", "0.5", "SRC"},
                   u"请输入大于零的 大边约束 数值。"},
        RefusalRow{"angle beyond single precision",
                   {"-o", "OUT", "--rotate", "3.4028236e38", "SRC"},
                   u"请输入正确的 旋转角度 数值。"},
        RefusalRow{"angle far beyond single precision",
                   {"-o", "OUT", "--rotate", "1e308", "SRC"},
                   u"请输入正确的 旋转角度 数值。"},
        RefusalRow{"width beyond 32 bits",
                   {"-o", "OUT", "--resize", "99999999999x0", "SRC"},
                   u"请输入大于-1的 图像缩放 宽度，并且输入数值不能含有小数点。"},
        RefusalRow{"blocks beyond 32 bits",
                   {"-o", "OUT", "--cut", "2147483648x1", "SRC"},
                   u"请输入大于零的 图像切割 水平模块数，并且输入数值不能含有小数点。"},
        RefusalRow{"infinite ratio",
                   {"-o", "OUT", "--resize-ratio", "1e999", "SRC"},
                   u"请输入大于零的 缩放比例数"},
        RefusalRow{"watermark not a picture",
                   {"-o", "OUT", "--watermark-image", "TXT", "SRC"},
                   u"水印图片不是有效的图片，或者水印图片的图像格式目前不能识别。请重新指定水印图片"
                   u"的路径。"}),
    kRowName);

// As an ordinary user, a single source folder that cannot be listed is refused before the run,
// like a missing one, instead of ending the run as stopped.
TEST(BatchRefusalAsUser, AnUnreadableSourceFolderIsRefused) {
    TempTree tree;
    WritePicture(tree, "src/a.png", 10, 10);
    const QString out = tree.MakeFolder("out");
    tree.OpenToEveryone();
    ::chmod(QFile::encodeName(tree.Path("src")).constData(), 0000);
    const BatchResult r = RunBatch({"-q", "--json", "-o", out, tree.Path("src")}, {}, true);
    ::chmod(QFile::encodeName(tree.Path("src")).constData(), 0755);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.json.value("outcome").toString(), "refused");
    EXPECT_EQ(r.json.value("verdict").toString(), QStringLiteral("请填写或选择正确的  打开路径。"));
}

TEST(BatchUsage, BadArgumentsAreRefusedWithUsage) {
    // An angle must be a number of degrees: "nan" and "inf" are none, though the C library
    // would read them.
    for (const QStringList& arguments :
         {QStringList{"--format", "jxl", "/tmp"}, QStringList{}, QStringList{"--cut", "3", "/tmp"},
          QStringList{"--bogus", "/tmp"}, QStringList{"--rotate", "nan", "/tmp"},
          QStringList{"--rotate", "inf", "/tmp"}, QStringList{"--rotate", "ninety", "/tmp"},
          QStringList{"--threads", "0", "/tmp"}, QStringList{"--threads", "257", "/tmp"},
          QStringList{"--threads", "two", "/tmp"}}) {
        const BatchResult r = RunBatch(arguments);
        EXPECT_EQ(r.exitCode, 3) << arguments.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("usage: corvane-batch"));
        // With --json, standard output holds the refusal as the one JSON object, whatever the
        // mistake (also one the parser gave up on).
        const BatchResult json = RunBatch(QStringList{"--json"} + arguments);
        EXPECT_EQ(json.exitCode, 3);
        EXPECT_EQ(json.out.count(u'\n'), 1) << json.out.toStdString();
        EXPECT_EQ(json.json.value("outcome").toString(), "refused");
        EXPECT_FALSE(json.json.value("verdict").toString().isEmpty());
        EXPECT_TRUE(json.err.contains(json.json.value("verdict").toString()));
    }
    EXPECT_EQ(RunBatch({"--help"}).exitCode, 0);
}

TEST(BatchUsage, AcceptedNumbersAreCleanedAsTheDialogCleansThem) {
    TempTree tree;
    WritePicture(tree, "src/a.png", 100, 50);
    const QString out = tree.MakeFolder("out");
    // "1 000" is cleaned to 1000 and accepted; "12.5" is a valid long edge (read as 12).
    BatchResult r = RunBatch({"-q", "--json", "--resize", "0x 2 5", "-o", out, tree.Path("src")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(ImageSize(out + "a.PNG"), QSize(50, 25));
    r = RunBatch({"-q", "--json", "--long-edge", "12.5", "--on-clash", "overwrite", "-o", out,
                  tree.Path("src")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(ImageSize(out + "a.PNG"), QSize(12, 6));
    // The long edge is the number the check judged, not the digits before its exponent.
    r = RunBatch({"-q", "--json", "--long-edge", "4e1", "--on-clash", "overwrite", "-o", out,
                  tree.Path("src")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(ImageSize(out + "a.PNG"), QSize(40, 20));
}

TEST(BatchUsage, ARunWithoutARuntimeFolderPrintsNothingOnStandardError) {
    TempTree tree;
    WritePicture(tree, "src/a.png", 10, 10);
    // As under cron or in a container, where Qt would warn about the missing folder.
    const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    const BatchResult r = RunBatch({"-q", "-o", tree.MakeFolder("out"), tree.Path("src")});
    if (!runtimeDir.isEmpty()) {
        qputenv("XDG_RUNTIME_DIR", runtimeDir);
    }
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err.toStdString(), "");
    EXPECT_TRUE(r.out.trimmed().endsWith(QStringLiteral("操作全部完成！")));
}

}  // namespace
}  // namespace corvane::test
