// What a run leaves behind when it is interrupted or its surroundings change, what it costs in
// memory over many files, and that it loses nothing: no file replaced that must not be, no file
// left out without being counted, no name whose bytes change.
#include "e2e/batch_harness.h"
#include "platform/native_names.h"
#include "support/metadata_samples.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QtEndian>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <thread>

namespace corvane::test {
namespace {

// Sanitizers keep shadow memory and freed blocks in quarantine: a process's peak then says
// nothing about the program's own memory.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMemoryIsMeasurable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kMemoryIsMeasurable = false;
#else
constexpr bool kMemoryIsMeasurable = true;
#endif
#else
constexpr bool kMemoryIsMeasurable = true;
#endif

// A folder "src" of `count` squares of noise as BMP: quick to read, slow to encode, since noise
// compresses badly.
void WriteNoise(const TempTree& tree, int side, int count) {
    QImage noise(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y) {
        auto* line = reinterpret_cast<QRgb*>(noise.scanLine(y));
        for (int x = 0; x < side; ++x) {
            line[x] = qRgb((x * 7919 + y * 104729) % 251, (x * y) % 253, (x + y * 31) % 255);
        }
    }
    tree.MakeFolder("src");
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(noise.save(tree.Path(QStringLiteral("src/big%1.bmp").arg(i))));
    }
}

TEST(BatchReliability, StopWhileWritingALargeTiffLeavesNoPartialFile) {
    TempTree tree;
    WriteNoise(tree, 2000, 3);  // each TIFF takes a while to encode and write
    const QString out = tree.MakeFolder("out");
    bool sent = false;
    const BatchResult r = RunBatchInSteps({"-f", "tiff", "-o", out, tree.Path("src")},
                                          [&](const RunStep& step, pid_t pid) {
                                              // The first TIFF is written; the helpers are making
                                              // the next ones ahead.
                                              if (!sent && step.saved == 1) {
                                                  ::kill(pid, SIGINT);
                                                  sent = true;
                                              }
                                          });
    ASSERT_TRUE(sent);
    EXPECT_EQ(r.exitCode, 130);
    // A stop is noticed at the next polling point: what was made ahead is never written.
    EXPECT_EQ(FilesIn(out), QStringList{"big0.TIF"});
    for (const QString& name : TreeBelow(out)) {
        ASSERT_FALSE(name.startsWith('.')) << "temporary file left: " << name.toStdString();
        QImageReader reader(out + name);
        QImage image;
        EXPECT_TRUE(reader.read(&image)) << name.toStdString();
        EXPECT_EQ(image.size(), QSize(2000, 2000));
    }
}

TEST(BatchReliability, OutputFolderTurningReadOnlyHalfwayGivesAPartialVerdict) {
    TempTree tree;
    for (int i = 0; i < 30; ++i) {
        WritePicture(tree, QStringLiteral("src/%1.png").arg(i), 300, 200);
    }
    const QString out = tree.MakeFolder("out");
    tree.OpenToEveryone();
    const QByteArray outName = QFile::encodeName(out);
    bool locked = false;
    const BatchResult r = RunBatchInSteps(
        {"-f", "png,bmp", "-o", out, tree.Path("src")},
        [&](const RunStep& step, pid_t) {
            if (!locked && step.saved == 4) {
                ::chmod(outName.constData(), 0555);
                locked = true;
            }
        },
        true);
    ::chmod(outName.constData(), 0777);
    ASSERT_TRUE(locked);
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("已处理文件数： 30")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("应保存文件数： 60")));
    EXPECT_TRUE(r.out.trimmed().endsWith(
        QStringLiteral("操作部分完成！可能原因：待保存的图片太大，当前版本不能保存。")));
    // Exactly what was written before the folder turned read-only, and nothing half-written.
    EXPECT_EQ(TreeBelow(out), (QStringList{"0.BMP", "0.PNG", "1.BMP", "1.PNG"}));
}

// Memory stays flat however many files a run takes: one image at a time, and the file list costs
// little per entry.
TEST(BatchReliability, TenThousandSmallFilesKeepMemorySteady) {
    if (!kMemoryIsMeasurable) {
        GTEST_SKIP() << "a sanitizer's shadow memory and quarantine hide the program's own peak";
    }
    TempTree tree;
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        TestPicture(16, 16).save(&buffer, "PNG");
    }
    for (int i = 0; i < 10000; ++i) {
        tree.WriteFile(QStringLiteral("many/%1.png").arg(i), png);
        if (i < 1000) {
            tree.WriteFile(QStringLiteral("few/%1.png").arg(i), png);
        }
    }
    const QString out = tree.MakeFolder("out");
    const BatchResult few = RunBatch({"-q", "--json", "-o", out, tree.Path("few")});
    const BatchResult many =
        RunBatch({"-q", "--json", "--on-clash", "overwrite", "-o", out, tree.Path("many")});
    ASSERT_EQ(few.exitCode, 0);
    ASSERT_EQ(many.exitCode, 0);
    EXPECT_EQ(many.json.value("saved").toInt(), 10000);
    // Ten times the files may add the list and some allocator slack, not ten images' worth.
    EXPECT_LT(many.peakKiB, few.peakKiB + 16 * 1024)
        << few.peakKiB << " KiB vs " << many.peakKiB << " KiB";
}

QByteArray SmallPng(QColor tint = QColor(200, 80, 40)) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    TestPicture(8, 8, tint).save(&buffer, "PNG");
    return png;
}

// The names in a folder as the file system holds them, bytes and all.
QList<QByteArray> RawNames(const QString& folder) {
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(QFile::encodeName(folder).constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..") {
                names << name;
            }
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Two runs into one output folder at the same time: both want the same free names, and neither
// may replace the other's files.
TEST(BatchReliability, TwoRunsIntoOneFolderKeepEveryFile) {
    TempTree tree;
    const QByteArray png = SmallPng();
    for (int i = 0; i < 300; ++i) {
        tree.WriteFile(QStringLiteral("one/%1.png").arg(i), png);
        tree.WriteFile(QStringLiteral("two/%1.png").arg(i), png);
    }
    const QString out = tree.MakeFolder("out");
    BatchResult first;
    std::thread other([&] { first = RunBatch({"-q", "--json", "-o", out, tree.Path("one")}); });
    const BatchResult second = RunBatch({"-q", "--json", "-o", out, tree.Path("two")});
    other.join();
    EXPECT_EQ(first.json.value("saved").toInt(), 300);
    EXPECT_EQ(second.json.value("saved").toInt(), 300);
    EXPECT_EQ(TreeBelow(out).size(), 600);
}

// Overwrite replaces what was there before the run, never what the run itself wrote: sources of
// one stem and the mosaics of a cut-then-combine run take the next counter instead.
TEST(BatchReliability, OverwriteNeverReplacesWhatTheRunWrote) {
    TempTree tree;
    WritePicture(tree, "src/x.png", 10, 10);
    WritePicture(tree, "src/x.jpg", 20, 10);
    WritePicture(tree, "src/sub/x.bmp", 30, 10);
    const QString out = tree.MakeFolder("out");
    tree.WriteFile("out/x.PNG", "from before the run");
    const BatchResult r =
        RunBatch({"-q", "--json", "-r", "--on-clash", "overwrite", "-o", out, tree.Path("src")});
    EXPECT_EQ(r.json.value("verdict").toString(), QStringLiteral("操作全部完成！"));
    EXPECT_EQ(FilesIn(out), (QStringList{"x.PNG", "x_1.PNG", "x_2.PNG"}));
    QList<int> widths;
    for (const QString& name : FilesIn(out)) {
        widths << ImageSize(out + name).width();
    }
    std::sort(widths.begin(), widths.end());
    EXPECT_EQ(widths, (QList<int>{10, 20, 30}));

    const QString mosaics = tree.MakeFolder("mosaics");
    const BatchResult cut = RunBatch({"-q", "--json", "--cut", "2x1", "--combine", "1x1",
                                      "--on-clash", "overwrite", "-o", mosaics, tree.Path("src")});
    EXPECT_EQ(cut.json.value("saved").toInt(), 4);
    EXPECT_EQ(FilesIn(mosaics).size(), 4);
}

// The first Ctrl-C stops at the next polling point, but a stopped cut-and-combine still places
// its tiles and writes its mosaic, which for big pictures takes a while; a second Ctrl-C then
// ends the process at once.
TEST(BatchReliability, ASecondInterruptEndsAtOnceAndLeavesNothing) {
    TempTree tree;
    WriteNoise(tree, 1000, 4);
    const QString out = tree.MakeFolder("out");
    int sent = 0;
    const BatchResult r = RunBatchInSteps(
        {"-f", "png,tiff", "--cut", "1x1", "--combine", "10x1", "-o", out, tree.Path("src")},
        [&](const RunStep& step, pid_t pid) {
            const bool first = sent == 0 && step.processed == 1;
            const bool second = sent == 1 && step.isFinal;  // the first tile placed after the stop
            if (first || second) {
                ::kill(pid, SIGINT);
                ++sent;
            }
        });
    ASSERT_EQ(sent, 2);
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_TRUE(r.out.contains(QStringLiteral("Ctrl-C again")));
    EXPECT_FALSE(r.out.contains(QStringLiteral("已停止")));  // it never got that far
    EXPECT_TRUE(TreeBelow(out).isEmpty());                   // not even a temporary file
}

// An output folder inside the source tree is never taken as a source again: three runs over two
// images give six outputs, not a growing nest.
TEST(BatchReliability, AnOutputFolderInsideTheSourceIsNeverProcessedAgain) {
    TempTree tree;
    WritePicture(tree, "photos/a.png", 10, 10);
    WritePicture(tree, "photos/sub/b.png", 10, 10);
    const QString out = tree.MakeFolder("photos/converted");
    for (int run = 0; run < 3; ++run) {
        const BatchResult r =
            RunBatch({"-q", "--json", "-r", "--keep-structure", "-o", out, tree.Path("photos")});
        EXPECT_EQ(r.json.value("total").toInt(), 2) << "run " << run;
    }
    EXPECT_EQ(TreeBelow(out).size(), 6);
}

// A write killed where no unnamed temporary file could be made leaves a hidden temporary file:
// it is neither counted as a hidden source nor processed.
TEST(BatchReliability, ALeftoverTemporaryFileIsNeverASource) {
    TempTree tree;
    WritePicture(tree, "src/a.png", 10, 10);
    tree.WriteFile("src/.cvn-00000000deadbeef.tmp", SmallPng());
    const BatchResult r =
        RunBatch({"-q", "--json", "-o", tree.MakeFolder("out"), tree.Path("src")});
    EXPECT_EQ(r.json.value("total").toInt(), 1);
    EXPECT_EQ(r.json.value("hidden").toInt(), 0);
}

// Deeper than the system's path limit: the files are processed like any other, not dropped
// without being counted.
TEST(BatchReliability, FilesBeyondThePathLimitAreProcessed) {
    TempTree tree;
    const QByteArray png = SmallPng();
    WritePicture(tree, "src/top.png", 10, 10);
    const QString deep = tree.MakeDeepFolder("src/deep", PATH_MAX + 200, "bottom.png");
    // The file was made empty; give it a picture through its folder, level by level.
    int folder = ::open(QFile::encodeName(tree.Path("src/deep")).constData(), O_PATH | O_DIRECTORY);
    for (const QString& level :
         deep.mid(tree.Path("src/deep/").size()).split(u'/', Qt::SkipEmptyParts)) {
        const int next =
            ::openat(folder, QFile::encodeName(level).constData(), O_PATH | O_DIRECTORY);
        ::close(folder);
        folder = next;
    }
    const int file = ::openat(folder, "bottom.png", O_WRONLY | O_TRUNC);
    ASSERT_EQ(::write(file, png.constData(), static_cast<size_t>(png.size())), png.size());
    ::close(file);
    ::close(folder);
    const QString out = tree.MakeFolder("out");
    const BatchResult r = RunBatch({"-q", "--json", "-r", "-o", out, tree.Path("src")});
    EXPECT_EQ(r.json.value("total").toInt(), 2);
    EXPECT_EQ(r.json.value("saved").toInt(), 2);
    EXPECT_EQ(FilesIn(out), (QStringList{"bottom.PNG", "top.PNG"}));
}

// Names from archives made on Chinese Windows (GBK bytes) are processed like any other, and the
// outputs keep the source's bytes in their names; so does a source folder with such a name.
TEST(BatchReliability, NamesThatAreNoUtf8KeepTheirBytes) {
    TempTree tree;
    const QByteArray gbk = "\xd6\xd0\xce\xc4";  // 中文 in GBK
    ASSERT_TRUE(tree.WriteRawName("src/" + gbk + ".png", SmallPng()));
    ASSERT_TRUE(tree.WriteRawName("src/" + gbk + "/inner.png", SmallPng()));
    const QString out = tree.MakeFolder("out");
    const QString source = tree.Path("src/") + DecodeNativeName(gbk.constData());
    BatchResult r = RunBatch({"-q", "--json", "-r", "-o", out, tree.Path("src")});
    EXPECT_EQ(r.json.value("saved").toInt(), 2);
    QList<QByteArray> expected{gbk + ".PNG", "inner.PNG"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(RawNames(out), expected);
    r = RunBatch({"-q", "--json", "--on-clash", "overwrite", "-o", out, source});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.json.value("saved").toInt(), 1);
}

// corvane-batch --json names every file that gave nothing, with its reason; the terminal view
// counts them.
TEST(BatchReliability, EveryFileThatGaveNothingIsNamedWithItsReason) {
    TempTree tree;
    WritePicture(tree, "src/good.png", 10, 10);
    QByteArray broken = ReadAll(WritePicture(tree, "src/broken.png", 200, 200));
    tree.WriteFile("src/broken.png", broken.left(60));
    tree.WriteFile("src/notes.txt", "not a picture");
    // A JPEG whose frame header declares 65000 x 65000 pixels.
    QByteArray huge = ReadAll(WritePicture(tree, "src/huge.jpg", 8, 8));
    const qsizetype frame = huge.indexOf("\xff\xc0");
    ASSERT_GT(frame, 0);
    qToBigEndian<quint16>(65000, huge.data() + frame + 5);
    qToBigEndian<quint16>(65000, huge.data() + frame + 7);
    tree.WriteFile("src/huge.jpg", huge);
    WritePicture(tree, "src/" + QString(60, u'n') + ".png", 10, 10);  // too long for the limit
    const QString out = tree.MakeFolder("out");
    const BatchResult r = RunBatch(
        {"--json", "--name-limit", "40", "--on-long-name", "skip", "-o", out, tree.Path("src")});
    const auto kindOf = [&](const QString& name) {
        for (const QJsonValue& note : r.json.value("notes").toArray()) {
            if (note["path"].toString() == tree.Path("src/") + name) {
                EXPECT_FALSE(note["text"].toString().isEmpty()) << name.toStdString();
                return note["kind"].toString();
            }
        }
        return QStringLiteral("none");
    };
    EXPECT_EQ(kindOf("broken.png"), "corrupt");
    EXPECT_EQ(kindOf("notes.txt"), "not-an-image");
    EXPECT_EQ(kindOf("huge.jpg"), "too-large");
    EXPECT_EQ(kindOf(QString(60, u'n') + ".png"), "name-too-long");
    EXPECT_EQ(kindOf("good.png"), "none");
    EXPECT_EQ(r.json.value("unwritten").toInt(), 4);
    EXPECT_TRUE(r.err.contains(QStringLiteral("未产生输出的文件数： 4")));

    // Overwrite never shortens a name: ".p" becoming ".PNG" passes the file system's 255 bytes,
    // and the write fails.
    tree.WriteFile("long/" + QString(84, QChar(0x732B)) + QStringLiteral("n.p"), SmallPng());
    const BatchResult failed =
        RunBatch({"-q", "--json", "--on-clash", "overwrite", "-o", out, tree.Path("long")});
    const QJsonArray notes = failed.json.value("notes").toArray();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0]["kind"].toString(), "write-failed");
    EXPECT_TRUE(
        notes[0]["text"].toString().endsWith(QString::fromLocal8Bit(std::strerror(ENAMETOOLONG))));
}

// A small file that declares a large picture: a JPEG's frame header or a grey PNG's IHDR (CRC
// made right) patched to the size.
QByteArray Declaring(const char* format, quint16 width, quint16 height) {
    QImage picture(8, 8, QImage::Format_Grayscale8);
    picture.fill(90);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    auto* data = reinterpret_cast<uchar*>(bytes.data());
    if (qstrcmp(format, "jpeg") == 0) {
        const qsizetype frame = bytes.indexOf("\xff\xc0");
        qToBigEndian(height, data + frame + 5);
        qToBigEndian(width, data + frame + 7);
    } else {
        constexpr qsizetype kIhdrType = 12;  // after the signature and the chunk's length
        qToBigEndian<quint32>(width, data + kIhdrType + 4);
        qToBigEndian<quint32>(height, data + kIhdrType + 8);
        qToBigEndian<quint32>(Crc32(bytes.mid(kIhdrType, 17)), data + kIhdrType + 17);
    }
    return bytes;
}

// Turned by 45 degrees, a 3 KB JPEG declaring 20000 x 20000 took 7.65 GB and a grey PNG bomb of
// 23170 x 23170 10.3 GB: within the pixel bound, far beyond what a container may use. Under a
// limit they are refused from their headers, before their pictures are made; the run goes on.
TEST(BatchReliability, PicturesTheProcessCannotHoldAreRefusedBeforeDecoding) {
    if (!kMemoryIsMeasurable) {
        GTEST_SKIP() << "a sanitizer maps terabytes of shadow memory: no address-space limit fits";
    }
    TempTree tree;
    tree.WriteFile("src/declares.jpg", Declaring("jpeg", 20000, 20000));
    tree.WriteFile("src/bomb.png", Declaring("png", 23170, 23170));
    WritePicture(tree, "src/photo.png", 64, 48);
    const QString out = tree.MakeFolder("out");
    constexpr std::uint64_t kLimit = std::uint64_t(3) << 30;
    const BatchResult run =
        RunBatch({"-q", "--json", "--rotate", "45", "-f", "png", "-o", out, tree.Path("src")}, {},
                 false, kLimit);
    EXPECT_EQ(run.json.value("saved").toInt(), 1) << run.err.toStdString();
    int refused = 0;
    for (const QJsonValue note : run.json.value("notes").toArray()) {
        const QJsonObject object = note.toObject();
        EXPECT_EQ(object.value("kind").toString(), "too-large");
        EXPECT_TRUE(object.value("text").toString().contains("more than the"))
            << object.value("text").toString().toStdString();
        ++refused;
    }
    EXPECT_EQ(refused, 2);
    EXPECT_LT(run.peakKiB, 400 * 1024) << "a refused picture was made all the same";
}

}  // namespace
}  // namespace corvane::test
