// What a run leaves behind when it is interrupted or its surroundings change, and what it costs
// in memory over many files.
#include "e2e/batch_harness.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

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

TEST(BatchReliability, StopWhileWritingALargeTiffLeavesNoPartialFile) {
    TempTree tree;
    // Noise compresses badly, so each TIFF takes a while to write.
    QImage big(3000, 3000, QImage::Format_RGB32);
    for (int y = 0; y < big.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(big.scanLine(y));
        for (int x = 0; x < big.width(); ++x) {
            line[x] = qRgb((x * 7919 + y * 104729) % 251, (x * y) % 253, (x + y * 31) % 255);
        }
    }
    tree.MakeFolder("src");
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(big.save(tree.Path(QStringLiteral("src/big%1.bmp").arg(i))));
    }
    const QString out = tree.MakeFolder("out");
    bool sent = false;
    const BatchResult r =
        RunBatch({"-f", "tiff", "-o", out, tree.Path("src")}, [&](const QString&, pid_t pid) {
            // Once the first TIFF is there the run is certainly processing, with two large files
            // to go: the stop comes while the next one is read or written.
            if (!sent && !FilesIn(out).isEmpty()) {
                ::kill(pid, SIGINT);
                sent = true;
            }
        });
    ASSERT_TRUE(sent);
    EXPECT_EQ(r.exitCode, 130);
    // A stop is noticed at the next polling point, so the third file is never written.
    EXPECT_LT(FilesIn(out).size(), 3);
    for (const QString& name : TreeBelow(out)) {
        ASSERT_FALSE(name.startsWith('.')) << "temporary file left: " << name.toStdString();
        QImageReader reader(out + name);
        QImage image;
        EXPECT_TRUE(reader.read(&image)) << name.toStdString();
        EXPECT_EQ(image.size(), QSize(3000, 3000));
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
    const BatchResult r = RunBatch(
        {"-f", "png,bmp", "-o", out, tree.Path("src")},
        [&](const QString&, pid_t) {
            if (!locked && FilesIn(out).size() >= 4) {
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
    const QStringList written = TreeBelow(out);
    EXPECT_GE(written.size(), 4);
    EXPECT_LT(written.size(), 60);
    for (const QString& name : written) {
        EXPECT_FALSE(name.startsWith('.')) << name.toStdString();
    }
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

}  // namespace
}  // namespace corvane::test
