// Nothing lost and nothing hidden: a run into its own source folder never destroys a source it
// has still to read, and every file or folder that gave less than it should is named with its
// reason (folders that cannot be read, pictures cut short, cuts finer than the picture). A run
// ended at once leaves no folder of its own in the temporary folder.
#include "e2e/batch_harness.h"
#include "imaging/image_processor.h"
#include "support/output_formats.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <limits>
#include <map>

namespace corvane::test {
namespace {

// The notes of one kind, as "file name: kind" of the path they are about.
QStringList NotesOf(const BatchResult& r, const QString& kind) {
    QStringList found;
    for (const QJsonValue& note : r.json.value("notes").toArray()) {
        if (note["kind"].toString() == kind) {
            EXPECT_FALSE(note["text"].toString().isEmpty());
            found << QDir(note["path"].toString()).dirName();
        }
    }
    found.sort();
    return found;
}

// A GIF through our own writer (Qt has none).
void WriteGif(const TempTree& tree, const QString& relative, int width, int height) {
    BitmapPtr picture = std::make_unique<Bitmap>(TestPicture(width, height));
    ASSERT_TRUE(
        ImageProcessor().SaveImage(picture, tree.Path(relative), FormatOfKind(FormatKind::Gif)));
}

struct SourceFolderRow {
    const char* name;
    // Sources by name with their width (all 10 high); the widths tell the pictures apart.
    std::map<QString, int> sources;
    QString renamed;  // the source whose output takes the next counter
    QStringList options;
    // Every file in the folder afterwards, with its width.
    std::map<QString, int> after;
};

class OverwriteIntoTheSourceFolder : public ::testing::TestWithParam<SourceFolderRow> {};

// "a.jpg" comes before "a.PNG": its output would replace a.PNG before a.PNG is read, and the run
// would then read its own output instead. The output takes the next counter, with a note; the
// source, once read, is replaced by its own output as overwrite says. Alike with one worker
// (which reads each file in its turn) and with four (which read ahead).
TEST_P(OverwriteIntoTheSourceFolder, NeverReplacesASourceItHasNotReadYet) {
    for (const char* threads : {"1", "4"}) {
        SCOPED_TRACE(threads);
        TempTree tree;
        for (const auto& [name, width] : GetParam().sources) {
            if (name.endsWith(".GIF")) {
                WriteGif(tree, "src/" + name, width, 10);
            } else {
                WritePicture(tree, "src/" + name, width, 10);
            }
        }
        const QString folder = tree.Path("src/");
        const BatchResult r = RunBatch(QStringList{"-q", "--json", "--on-clash", "overwrite",
                                                   "--threads", threads, "-o", folder} +
                                       GetParam().options + QStringList{folder});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        std::map<QString, int> after;
        for (const QString& name : FilesIn(folder)) {
            after[name] = ImageSize(folder + name).width();
        }
        EXPECT_EQ(after, GetParam().after);
        EXPECT_EQ(NotesOf(r, "renamed"), QStringList{GetParam().renamed});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OverwriteIntoTheSourceFolder,
    ::testing::Values(SourceFolderRow{"WholePictures",
                                      {{"a.jpg", 20}, {"a.PNG", 30}},
                                      "a.jpg",
                                      {"-f", "png"},
                                      {{"a.jpg", 20}, {"a.PNG", 30}, {"a_1.PNG", 20}}},
                      SourceFolderRow{"GifAndBmp",
                                      {{"a.bmp", 20}, {"a.GIF", 30}},
                                      "a.bmp",
                                      {"-f", "gif"},
                                      {{"a.bmp", 20}, {"a.GIF", 30}, {"a_1.GIF", 20}}},
                      // Tile 2 of a.jpg would replace the source a_2.PNG; that source's own first
                      // tile then meets the name the run has written.
                      SourceFolderRow{"Tiles",
                                      {{"a.jpg", 20}, {"a_2.PNG", 30}},
                                      "a.jpg",
                                      {"-f", "png", "--cut", "2x1"},
                                      {{"a.jpg", 20},
                                       {"a_1.PNG", 10},
                                       {"a_2.PNG", 30},
                                       {"a_2_1.PNG", 10},
                                       {"a_2_1_1.PNG", 15},
                                       {"a_2_2.PNG", 15}}}),
    kRowName);

// As an ordinary user: sub-folders that cannot be listed (no permissions at all, or passable
// but not readable) are each named with the system's reason and count as files that gave
// nothing; the rest of the tree is processed.
TEST(NothingHidden, AFolderThatCannotBeReadIsNamed) {
    TempTree tree;
    WritePicture(tree, "src/a.png", 10, 10);
    WritePicture(tree, "src/locked/b.png", 10, 10);
    WritePicture(tree, "src/passable/c.png", 10, 10);
    const QString out = tree.MakeFolder("out");
    tree.OpenToEveryone();
    ::chmod(QFile::encodeName(tree.Path("src/locked")).constData(), 0000);
    ::chmod(QFile::encodeName(tree.Path("src/passable")).constData(), 0311);
    const BatchResult r =
        RunBatch({"-q", "--json", "-r", "-o", out, tree.Path("src")}, {}, /*unprivileged=*/true);
    ::chmod(QFile::encodeName(tree.Path("src/locked")).constData(), 0755);
    ::chmod(QFile::encodeName(tree.Path("src/passable")).constData(), 0755);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.json.value("saved").toInt(), 1);
    EXPECT_EQ(NotesOf(r, "unreadable"), (QStringList{"locked", "passable"}));
    EXPECT_EQ(r.json.value("unwritten").toInt(), 2);
}

// A picture cut short is written as far as the decoder makes it, and named as incomplete: a
// JPEG made a PNG a band at a time, one turned as it is decoded, and a GIF.
TEST(NothingHidden, APictureCutShortIsWrittenAndNamed) {
    TempTree tree;
    // Cut in the middle of its image data (a small JPEG is mostly tables).
    const QByteArray jpeg = ReadAll(WritePicture(tree, "src/cut.jpg", 64, 48));
    const qsizetype scan = jpeg.indexOf("\xff\xda");
    ASSERT_GT(scan, 0);
    tree.WriteFile("src/cut.jpg", jpeg.left(scan + (jpeg.size() - scan) / 2));
    WriteGif(tree, "src/cut.gif", 64, 48);
    const QByteArray gif = ReadAll(tree.Path("src/cut.gif"));
    tree.WriteFile("src/cut.gif", gif.left(gif.size() / 2));
    WritePicture(tree, "src/whole.png", 64, 48);
    for (const QStringList& options :
         {QStringList{"-f", "png"}, QStringList{"-f", "bmp", "--rotate", "90"}}) {
        SCOPED_TRACE(options.join(' ').toStdString());
        const BatchResult r = RunBatch(
            QStringList{"-q", "--json", "--on-clash", "overwrite", "-o", tree.MakeFolder("out")} +
            options + QStringList{tree.Path("src")});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.json.value("saved").toInt(), 3);
        EXPECT_EQ(NotesOf(r, "truncated"), (QStringList{"cut.gif", "cut.jpg"}));
        EXPECT_EQ(r.json.value("unwritten").toInt(), 0);
    }
}

// Cut into more blocks across than the picture has pixels: no tile, and a note that says why.
TEST(NothingHidden, ACutFinerThanThePictureIsNamed) {
    TempTree tree;
    WritePicture(tree, "src/a.png", 300, 200);
    const BatchResult r = RunBatch(
        {"-q", "--json", "--cut", "400x1", "-o", tree.MakeFolder("out"), tree.Path("src")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(NotesOf(r, "cut-too-fine"), QStringList{"a.png"});
    // The tiles it should have given are counted without overflowing.
    const BatchResult huge = RunBatch(
        {"-q", "--json", "--cut", "50000x50000", "-o", tree.MakeFolder("out"), tree.Path("src")});
    EXPECT_EQ(huge.exitCode, 2);
    EXPECT_EQ(huge.json.value("expected").toInt(), std::numeric_limits<int>::max());
}

// Without XDG_RUNTIME_DIR, Qt's runtime folder is one per user in the temporary folder, reused by
// every run: runs ended at once (SIGKILL, or a second signal) leave nothing more behind. Empty
// single-run folders that earlier versions left are removed; nothing else is touched.
TEST(NothingLeft, RunsShareOneRuntimeFolderAndLeftOnesAreRemoved) {
    TempTree tree;
    WritePicture(tree, "src/a.png", 10, 10);
    const QString temporary = tree.MakeFolder("tmp");
    tree.MakeFolder("tmp/corvane-runtime-aB3dE9");           // left by an earlier version
    tree.WriteFile("tmp/corvane-runtime-Zz0000/kept", "x");  // not empty: kept
    const QString elsewhere = tree.MakeFolder("elsewhere");
    ::symlink(QFile::encodeName(elsewhere).constData(),
              QFile::encodeName(temporary + "corvane-runtime-L1nk00").constData());
    const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray tmpdir = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(temporary));
    const BatchResult done = RunBatch({"-q", "-o", tree.MakeFolder("out1"), tree.Path("src")});
    // Killed at its first message, while it runs.
    const BatchResult killed =
        RunBatchInSteps({"-o", tree.MakeFolder("out2"), tree.Path("src")},
                        [](const RunStep&, pid_t pid) { ::kill(pid, SIGKILL); });
    if (!runtimeDir.isEmpty()) {
        qputenv("XDG_RUNTIME_DIR", runtimeDir);
    }
    if (tmpdir.isNull()) {
        qunsetenv("TMPDIR");
    } else {
        qputenv("TMPDIR", tmpdir);
    }
    EXPECT_EQ(done.exitCode, 0);
    EXPECT_EQ(done.err.toStdString(), "");
    EXPECT_EQ(killed.exitCode, -1);
    const QString ours = QStringLiteral("corvane-runtime.%1").arg(::geteuid());
    QStringList expected{ours, "corvane-runtime-L1nk00", "corvane-runtime-Zz0000"};
    expected.sort();
    EXPECT_EQ(
        QDir(temporary).entryList(
            QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
        expected);
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(temporary + ours).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(QDir(elsewhere).exists());
}

}  // namespace
}  // namespace corvane::test
