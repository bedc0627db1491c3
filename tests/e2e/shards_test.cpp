// One run cut into four shards, started at once by GNU parallel into one output folder, against
// the same run made whole: the same files, the same bytes, and reports that merge into the run's.
#include "e2e/batch_harness.h"

#include "platform/file_system.h"
#include "platform/native_names.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <map>

namespace corvane::test {
namespace {

constexpr int kShards = 4;

// Every file below a folder, by its path's bytes (names need not be UTF-8), with its bytes.
using Tree = std::map<QByteArray, QByteArray>;

void Collect(const QString& folder, const QByteArray& prefix, Tree& tree) {
    DirectoryReader reader(folder);
    DirectoryEntry entry;
    std::vector<std::pair<QString, QByteArray>> subfolders;
    while (reader.Next(entry)) {
        const QByteArray name(entry.nativeName.data(), qsizetype(entry.nativeName.size()));
        const QString path = JoinPath(folder, entry.nativeName);
        if (entry.isDirectory) {
            subfolders.emplace_back(path + u'/', prefix + name + '/');
            continue;
        }
        QFile file;
        QString error;
        tree[prefix + name] = OpenRegularFile(path, file, &error) ? file.readAll() : "unreadable";
    }
    for (const auto& [path, relative] : subfolders) {
        Collect(path, relative, tree);
    }
}

Tree Contents(const QString& folder) {
    Tree tree;
    Collect(folder, {}, tree);
    return tree;
}

QStringList Names(const Tree& tree) {
    QStringList names;
    for (const auto& [name, bytes] : tree) {
        names << DecodeNativeName(std::string_view(name.constData(), size_t(name.size())));
    }
    return names;
}

QString Quoted(const QString& argument) {
    QString quoted = argument;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

QJsonObject LastLineJson(const QByteArray& output) {
    return QJsonDocument::fromJson(output.trimmed().split('\n').last()).object();
}

// The sources every row runs on: names that compete in every way the naming rules allow.
void WriteAdversarialTree(const TempTree& tree) {
    const QString longA(40, u'a');
    const QString longB(40, u'b');
    for (const QString name :
         {"src/x.jpg", "src/a/x.jpg", "src/b/x.jpg", "src/_CVN_x.jpg", "src/a/_CVN_x.png",
          "src/c/X.JPG", "src/x.JPG", "src/x_1.jpg", "src/x_3.jpg", "src/_CVN.jpg", "src/5.jpg",
          "src/DSC_1234.jpg", "src/DSC_1235.jpg", "src/.hidden.jpg", "src/.png", "src/_1.png",
          "src/d/e/deep.png"}) {
        WritePicture(tree, name, 12 + name.size() % 5, 10);
    }
    WritePicture(tree, "src/" + longA + "_same_end_of_twenty_four.jpg", 14, 9);
    WritePicture(tree, "src/b/" + longB + "_same_end_of_twenty_four.jpg", 9, 14);
    WritePicture(tree, "src/" + longA + "_tiles_4.jpg", 8, 8);
    for (int i = 0; i < 16; ++i) {
        WritePicture(tree, QStringLiteral("src/f/IMG_%1.png").arg(i, 4, 10, QChar(u'0')), 16, 12,
                     QColor(10 * i, 80, 40));
    }
    const QByteArray gbk = "\xd6\xd0\xce\xc4";  // 中文 in GBK: not UTF-8
    ASSERT_TRUE(tree.WriteRawName("src/" + gbk + ".png", ReadAll(tree.Path("src/x.jpg"))));
    ASSERT_TRUE(tree.WriteRawName("src/a/" + gbk + ".png", ReadAll(tree.Path("src/5.jpg"))));
    tree.WriteFile("src/notes.txt", "not a picture");
    tree.WriteFile("src/broken.jpg", "\xff\xd8\xff\xe0 broken");
}

int ExitStatusOf(const QJsonObject& report) {
    const QString outcome = report.value("outcome").toString();
    return outcome == "complete" ? 0 : outcome == "partial" ? 1 : outcome == "failed" ? 2 : 3;
}

// The shards of a run at once through GNU parallel, each writing its report into `reports`;
// the merged report.
QJsonObject RunShards(const QString& parallel, const QStringList& runArguments,
                      const QString& reports) {
    QString command = Quoted(CORVANE_BATCH) + QStringLiteral(" --shard {}/%1").arg(kShards);
    for (const QString& argument : runArguments) {
        command += u' ' + Quoted(argument);
    }
    command += QStringLiteral(" > ") + Quoted(reports + "report-") + QStringLiteral("{}.json");
    QStringList arguments{"--will-cite", "-j", QString::number(kShards), command, ":::"};
    QStringList reportFiles;
    for (int k = 0; k < kShards; ++k) {
        arguments << QString::number(k);
        reportFiles << reports + QStringLiteral("report-%1.json").arg(kShards - 1 - k);
    }
    QProcess process;
    process.start(parallel, arguments);
    EXPECT_TRUE(process.waitForFinished(300'000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    // The reports merge the same in any order.
    const BatchResult merged = RunBatch(QStringList{"--merge-reports"} + reportFiles);
    const QJsonObject report = LastLineJson(merged.out.toUtf8());
    EXPECT_EQ(merged.exitCode, ExitStatusOf(report)) << merged.err.toStdString();
    return report;
}

void ExpectSameTree(const QString& whole, const QString& sharded) {
    const Tree expected = Contents(whole);
    const Tree got = Contents(sharded);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(Names(got), Names(expected));
    for (const auto& [name, bytes] : expected) {
        const auto it = got.find(name);
        EXPECT_TRUE(it != got.end() && it->second == bytes) << name.toStdString() << " differs";
    }
}

struct ShardRow {
    const char* name;
    QStringList options;
};

class Shards : public ::testing::TestWithParam<ShardRow> {
protected:
    void SetUp() override {
        parallel = QStandardPaths::findExecutable(QStringLiteral("parallel"));
        if (parallel.isEmpty()) {
            GTEST_SKIP() << "GNU parallel is not installed (scripts/setup installs it)";
        }
        WriteAdversarialTree(tree);
    }

    QStringList Arguments(const QString& out) const {
        return GetParam().options +
               QStringList{"-q", "--json", "--threads", "1", "-r", "-o", out, tree.Path("src")};
    }

    TempTree tree;
    QString parallel;
};

TEST_P(Shards, FourShardsWriteWhatOneRunWrites) {
    const QString whole = tree.MakeFolder("whole");
    const QString sharded = tree.MakeFolder("sharded");
    const BatchResult one = RunBatch(Arguments(whole));
    ASSERT_LE(one.exitCode, 2) << one.err.toStdString();
    QJsonObject merged = RunShards(parallel, Arguments(sharded), tree.Root());
    EXPECT_EQ(merged.take("shards").toInt(), kShards);
    ExpectSameTree(whole, sharded);
    EXPECT_EQ(merged, one.json) << QJsonDocument(merged).toJson().toStdString() << "\n"
                                << QJsonDocument(one.json).toJson().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Shards,
    ::testing::Values(
        ShardRow{"clashes and folding", {"-f", "png", "--name-limit", "60"}},
        ShardRow{"two formats, suffixes, structure copy",
                 {"-f", "png,bmp", "--on-clash", "suffix", "--on-long-name", "fold-suffix",
                  "--name-limit", "60", "--keep-structure"}},
        ShardRow{"tiles over written names",
                 {"-f", "png", "--cut", "2x2", "--on-clash", "overwrite"}},
        ShardRow{"tiles by cell", {"-f", "gif", "--cut-cell", "5x5", "--name-limit", "60"}},
        ShardRow{"tiles, names given up",
                 {"-f", "png", "--cut", "3x1", "--on-long-name", "skip", "--name-limit", "40"}},
        ShardRow{"same format", {"--same-format", "--rotate", "90"}},
        ShardRow{"copies", {"--copy", "--keep-structure"}},
        ShardRow{"mosaics", {"-f", "png", "--combine", "2x2"}},
        ShardRow{"tiles into mosaics", {"-f", "png,jpeg", "--cut", "2x1", "--combine", "3x2"}},
        ShardRow{"cells into mosaics", {"-f", "bmp", "--cut-cell", "6x6", "--combine", "4x1"}}),
    test::kRowName);

// Merging wants every shard of one run, once; shards started one after the other (no scheduler)
// merge into the run's report too.
TEST(MergeReports, AddUpOnlyWhenTheyMakeOneRun) {
    TempTree tree;
    WriteAdversarialTree(tree);
    const QStringList options{"-q", "--json", "-r", "-f", "png", "-o"};
    const BatchResult one =
        RunBatch(options + QStringList{tree.MakeFolder("whole"), tree.Path("src")});
    QStringList reports;
    for (int k = 0; k < 2; ++k) {
        const BatchResult shard =
            RunBatch(options + QStringList{tree.MakeFolder("sharded"), tree.Path("src"), "--shard",
                                           QStringLiteral("%1/2").arg(k)});
        reports << tree.WriteFile(QStringLiteral("report-%1.json").arg(k), shard.out.toUtf8());
    }
    const BatchResult other = RunBatch(
        options + QStringList{tree.MakeFolder("other"), tree.Path("src/f"), "--shard", "1/2"});
    const QString otherReport = tree.WriteFile("other.json", other.out.toUtf8());

    const BatchResult merged = RunBatch(QStringList{"--merge-reports"} + reports);
    QJsonObject report = LastLineJson(merged.out.toUtf8());
    EXPECT_EQ(report.take("shards").toInt(), 2);
    EXPECT_EQ(report, one.json);
    EXPECT_EQ(merged.exitCode, one.exitCode);
    ExpectSameTree(tree.Path("whole"), tree.Path("sharded"));

    for (const QStringList& wrong :
         {QStringList{reports[0]}, QStringList{reports[0], reports[0]},
          QStringList{reports[0], otherReport}, QStringList{tree.Path("src/notes.txt")}}) {
        const BatchResult refused = RunBatch(QStringList{"--merge-reports"} + wrong);
        EXPECT_EQ(refused.exitCode, 3) << wrong.join(' ').toStdString();
        EXPECT_TRUE(refused.out.isEmpty());
    }
}

// Shared storage (NFS, SMB, FUSE) often has no unnamed temporary files: shards writing into one
// such folder take the named fallback, which never replaces what another shard linked in.
TEST(SharedStorage, ShardsOnAFileSystemWithoutUnnamedFilesWriteWhatOneRunWrites) {
    const QString bindfs = QStandardPaths::findExecutable(QStringLiteral("bindfs"));
    const QString parallel = QStandardPaths::findExecutable(QStringLiteral("parallel"));
    if (bindfs.isEmpty() || parallel.isEmpty() || ::geteuid() != 0) {
        GTEST_SKIP() << "needs bindfs and GNU parallel (scripts/setup) and root for the mount";
    }
    TempTree tree;
    WriteAdversarialTree(tree);
    const QString backing = tree.MakeFolder("backing");
    const QString mounted = tree.MakeFolder("mounted");
    if (QProcess::execute(bindfs, {backing, mounted}) != 0) {
        GTEST_SKIP() << "this machine does not allow FUSE mounts";
    }
    struct Unmount {
        QString at;
        ~Unmount() { ::umount2(EncodeNativeName(at).constData(), MNT_DETACH); }
    } unmount{mounted};
    // The proof that this file system lacks them.
    const int fd = ::open(EncodeNativeName(mounted).constData(), O_TMPFILE | O_RDWR, 0600);
    ASSERT_LT(fd, 0);
    EXPECT_EQ(errno, EOPNOTSUPP);

    const QString whole = tree.MakeFolder("whole");
    const QStringList options{"-q", "--json", "--threads", "1", "-r", "-f", "png,gif", "-o"};
    const BatchResult one = RunBatch(options + QStringList{whole, tree.Path("src")});
    ASSERT_LE(one.exitCode, 1) << one.err.toStdString();
    QJsonObject merged =
        RunShards(parallel, options + QStringList{mounted, tree.Path("src")}, tree.Root());
    merged.remove("shards");
    EXPECT_EQ(merged, one.json);
    ExpectSameTree(whole, mounted);  // no temporary file left behind either
}

}  // namespace
}  // namespace corvane::test
