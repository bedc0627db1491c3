#include "platform/file_system.h"
#include "platform/atomic_file.h"
#include "platform/native_names.h"
#include "platform/path_text.h"
#include "support/temp_tree.h"
#include "support/test_names.h"
#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>

namespace corvane {
namespace {

using test::Entries;
using test::ReadAll;
using test::TempTree;

// Files in a folder other than the expected ones: a leftover temporary file shows here.
TEST(FolderChain, CreatesEveryMissingLevelAndRewritesThePath) {
    TempTree tree;
    QString path = tree.Root() + QStringLiteral("a//b///c");
    ASSERT_TRUE(CreateFolderChain(path));
    EXPECT_EQ(path, tree.Root() + QStringLiteral("a/b/c/"));
    EXPECT_TRUE(IsDirectory(path));
    EXPECT_TRUE(CreateFolderChain(path));  // existing folders are fine
}

TEST(FolderChain, FailsWhereAFileBlocksTheWay) {
    TempTree tree;
    tree.WriteFile(QStringLiteral("blocker"));
    QString path = tree.Path(QStringLiteral("blocker/sub/"));
    EXPECT_FALSE(CreateFolderChain(path));
}

TEST(CopyNoReplace, CopiesBytesAndRefusesAnExistingTarget) {
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("in/a.bin"), QByteArray(200000, 'q'));
    const QString target = tree.MakeFolder(QStringLiteral("out")) + QStringLiteral("a.bin");
    ASSERT_TRUE(CopyFileAtomically(source, target, IfExists::Fail));
    EXPECT_EQ(ReadAll(target), ReadAll(source));

    tree.WriteFile(QStringLiteral("out/b.bin"), "keep me");
    EXPECT_FALSE(
        CopyFileAtomically(source, tree.Path(QStringLiteral("out/b.bin")), IfExists::Fail));
    EXPECT_EQ(ReadAll(tree.Path(QStringLiteral("out/b.bin"))), QByteArray("keep me"));
    EXPECT_EQ(Entries(tree.Path(QStringLiteral("out"))), (QStringList{"a.bin", "b.bin"}));
    // Replacing is atomic too: the old bytes until the new ones are complete.
    ASSERT_TRUE(
        CopyFileAtomically(source, tree.Path(QStringLiteral("out/b.bin")), IfExists::Replace));
    EXPECT_EQ(ReadAll(tree.Path(QStringLiteral("out/b.bin"))), ReadAll(source));
    EXPECT_EQ(Entries(tree.Path(QStringLiteral("out"))), (QStringList{"a.bin", "b.bin"}));
}

// A copy keeps the ordinary permission bits and never a set-id or sticky bit: root copying a
// set-id file of another user would otherwise make a set-id program of root's.
TEST(CopyNoReplace, NeverKeepsSetIdOrStickyBits) {
    TempTree tree;
    const QString source = tree.WriteFile(QStringLiteral("in/a.jpg"), "picture");
    ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 07755), 0);
    const QString target = tree.MakeFolder(QStringLiteral("out")) + QStringLiteral("a.jpg");
    ASSERT_TRUE(CopyFileAtomically(source, target, IfExists::Fail));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
}

TEST(CopyNoReplace, MissingSourceOrFolderLeavesNothing) {
    TempTree tree;
    tree.MakeFolder(QStringLiteral("out"));
    EXPECT_FALSE(CopyFileAtomically(tree.Path(QStringLiteral("none")),
                                    tree.Path(QStringLiteral("out/x")), IfExists::Fail));
    EXPECT_TRUE(Entries(tree.Path(QStringLiteral("out"))).isEmpty());
    const QString source = tree.WriteFile(QStringLiteral("s"));
    EXPECT_FALSE(
        CopyFileAtomically(source, tree.Path(QStringLiteral("missing/x")), IfExists::Replace));
}

TEST(AtomicWrite, ReplacesTheTargetOnlyOnCommit) {
    TempTree tree;
    const QString target = tree.WriteFile(QStringLiteral("t.txt"), "old");
    {
        AtomicFile file(target, IfExists::Replace);
        ASSERT_TRUE(file.Open());
        file.Device()->write("new contents");
        EXPECT_EQ(ReadAll(target), QByteArray("old"));
        // Dropped without Commit: the target stays and the temporary file goes.
    }
    EXPECT_EQ(ReadAll(target), QByteArray("old"));
    EXPECT_EQ(Entries(tree.Root()), QStringList{"t.txt"});

    AtomicFile file(target, IfExists::Replace);
    ASSERT_TRUE(file.Open());
    file.Device()->write("new contents");
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadAll(target), QByteArray("new contents"));
    EXPECT_EQ(Entries(tree.Root()), QStringList{"t.txt"});
}

TEST(AtomicWrite, NameTooLongForTheFileSystemLeavesNothing) {
    TempTree tree;
    const QString target = tree.Root() + QString(300, u'n') + QStringLiteral(".png");
    AtomicFile file(target);
    ASSERT_TRUE(file.Open());  // the temporary name is short
    file.Device()->write("data");
    EXPECT_FALSE(file.Commit());
    EXPECT_TRUE(Entries(tree.Root()).isEmpty());
}

TEST(AtomicWrite, ReadOnlyFolderKeepsTheExistingTarget) {
    TempTree tree;
    const test::LockedFolder locked(tree, QStringLiteral("ro"), QStringLiteral("t.txt"), "old");
    const int result = test::RunUnprivileged([&] {
        AtomicFile file(locked.Target());
        if (file.Open()) {
            return 1;  // the folder must refuse the temporary file
        }
        return file.Commit() ? 2 : 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(locked.Untouched());
}

struct TemporaryRow {
    const char* name;
    AtomicFile::Temporary temporary;
};

class AtomicWriteWith : public ::testing::TestWithParam<TemporaryRow> {};

// Another program takes the free name between the choice and the write: its file stays.
TEST_P(AtomicWriteWith, ANameTakenMeanwhileIsNeverReplaced) {
    TempTree tree;
    const QString target = tree.Path(QStringLiteral("t.txt"));
    AtomicFile file(target, IfExists::Fail, GetParam().temporary);
    ASSERT_TRUE(file.Open());
    file.Device()->write("mine");
    tree.WriteFile(QStringLiteral("t.txt"), "theirs");
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(file.Outcome().kind, WriteOutcome::Kind::NameTaken);
    EXPECT_EQ(ReadAll(target), QByteArray("theirs"));
    EXPECT_EQ(Entries(tree.Root()), QStringList{"t.txt"});
}

TEST_P(AtomicWriteWith, ReplacingRenamesOverTheExistingFile) {
    TempTree tree;
    const QString target = tree.WriteFile(QStringLiteral("t.txt"), "old");
    AtomicFile file(target, IfExists::Replace, GetParam().temporary);
    ASSERT_TRUE(file.Open());
    file.Device()->write("new");
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(file.Outcome().kind, WriteOutcome::Kind::Written);
    EXPECT_EQ(ReadAll(target), QByteArray("new"));
    EXPECT_EQ(Entries(tree.Root()), QStringList{"t.txt"});
}

INSTANTIATE_TEST_SUITE_P(Rows, AtomicWriteWith,
                         ::testing::Values(TemporaryRow{"unnamed", AtomicFile::Temporary::Unnamed},
                                           TemporaryRow{"named", AtomicFile::Temporary::Named}),
                         test::kRowName);

// SIGKILL gives no chance to clean up: an unnamed temporary file simply vanishes with it.
TEST(AtomicWrite, AKilledWriterLeavesNothingBehind) {
    TempTree tree;
    const QString target = tree.Path(QStringLiteral("t.txt"));
    const pid_t child = ::fork();
    if (child == 0) {
        AtomicFile file(target);
        if (file.Open()) {
            file.Device()->write("half a file");
            file.Device()->waitForBytesWritten(-1);
        }
        ::raise(SIGKILL);
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(Entries(tree.Root()).isEmpty());
}

// Where a named temporary file is needed, ending the process at once still removes it.
TEST(AtomicWrite, PendingNamedTemporariesCanBeRemovedFromASignalHandler) {
    TempTree tree;
    AtomicFile file(tree.Path(QStringLiteral("t.txt")), IfExists::Fail,
                    AtomicFile::Temporary::Named);
    ASSERT_TRUE(file.Open());
    file.Device()->write("data");
    const QStringList during = Entries(tree.Root());
    ASSERT_EQ(during.size(), 1);
    EXPECT_TRUE(IsTemporaryName(during[0].toStdString()));
    RemovePendingTemporaries();
    EXPECT_TRUE(Entries(tree.Root()).isEmpty());
}

TEST(AtomicWrite, TemporaryNamesAreRecognisedExactly) {
    EXPECT_TRUE(IsTemporaryName(".cvn-0123456789abcdef.tmp"));
    EXPECT_FALSE(IsTemporaryName(".cvn-0123456789ABCDEF.tmp"));
    EXPECT_FALSE(IsTemporaryName(".cvn-0123456789abcde.tmp"));
    EXPECT_FALSE(IsTemporaryName("a.cvn-0123456789abcdef.tmp"));
    EXPECT_FALSE(IsTemporaryName(".cvn-0123456789abcdef.tmpx"));
}

// Deep trees: every call works on paths longer than the system's path limit.
TEST(LongPaths, EveryCallWorksBeyondThePathLimit) {
    TempTree tree;
    const QString deep = tree.MakeDeepFolder(QStringLiteral("deep"), PATH_MAX + 500);
    ASSERT_GT(EncodeNativeName(deep).size(), PATH_MAX);
    EXPECT_TRUE(IsDirectory(deep));
    QString made = deep + QStringLiteral("made//here");
    ASSERT_TRUE(CreateFolderChain(made));
    EXPECT_EQ(made, deep + QStringLiteral("made/here/"));

    AtomicFile file(made + QStringLiteral("f.bin"));
    ASSERT_TRUE(file.Open());
    file.Device()->write("bytes");
    ASSERT_TRUE(file.Commit());
    EXPECT_TRUE(PathExists(made + QStringLiteral("f.bin")));
    EXPECT_TRUE(IsRegularFile(made + QStringLiteral("f.bin")));
    ASSERT_TRUE(CopyFileAtomically(made + QStringLiteral("f.bin"), made + QStringLiteral("g.bin"),
                                   IfExists::Fail));
    QString error;
    const int fd = OpenRegularFile(made + QStringLiteral("g.bin"), &error);
    ASSERT_GE(fd, 0) << error.toStdString();
    char read[8] = {};
    EXPECT_EQ(::read(fd, read, sizeof read), 5);
    ::close(fd);
    EXPECT_STREQ(read, "bytes");

    DirectoryReader reader(made);
    ASSERT_TRUE(reader.IsOpen());
    QStringList names;
    DirectoryEntry entry;
    while (reader.Next(entry)) {
        names << entry.Name();
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{"f.bin", "g.bin"}));
}

// A name in GBK (archives made on Chinese Windows) is listed, opened and written under its bytes.
TEST(NativeNamesOnDisk, AnUndecodableNameRoundTrips) {
    TempTree tree;
    const QByteArray gbk = "\xd6\xd0\xce\xc4";  // 中文 in GBK
    ASSERT_TRUE(tree.WriteRawName("in/" + gbk + ".png", "picture"));
    DirectoryReader reader(tree.MakeFolder(QStringLiteral("in")));
    DirectoryEntry entry;
    ASSERT_TRUE(reader.Next(entry));
    const QString path = JoinPath(tree.Path(QStringLiteral("in/")), entry.nativeName);
    EXPECT_TRUE(IsRegularFile(path));
    const QString copy =
        tree.MakeFolder(QStringLiteral("out")) + FileStem(path) + QStringLiteral("_副本.png");
    ASSERT_TRUE(CopyFileAtomically(path, copy, IfExists::Fail));
    const QByteArray onDisk = QFile::encodeName(tree.Path(QStringLiteral("out/"))) + gbk +
                              QStringLiteral("_副本.png").toUtf8();
    EXPECT_EQ(::access(onDisk.constData(), F_OK), 0);
}

TEST(TypedFolders, BlanksAreKeptWhenTheyNameAFolder) {
    TempTree tree;
    const QString blank = tree.MakeFolder(QStringLiteral("ends in blank "));
    tree.MakeFolder(QStringLiteral("plain"));
    EXPECT_EQ(FolderPathOf(tree.Path(QStringLiteral("ends in blank "))), blank);
    EXPECT_EQ(FolderPathOf(tree.Path(QStringLiteral("plain  "))), tree.Path("plain/"));
    EXPECT_EQ(FolderPathOf(QStringLiteral("   ")), QString());
    QString chain = tree.Path(QStringLiteral("ends in blank "));
    ASSERT_TRUE(CreateFolderChain(chain));
    EXPECT_EQ(chain, blank);
}

TEST(OpenRegularFile, APipeIsRefusedWithoutWaitingForAWriter) {
    TempTree tree;
    const QString fifo = tree.Path(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QString error;
    EXPECT_EQ(OpenRegularFile(fifo, &error), -1);
    EXPECT_EQ(error, QStringLiteral("not a regular file"));
    EXPECT_EQ(OpenRegularFile(tree.Path(QStringLiteral("none")), &error), -1);
    EXPECT_FALSE(error.isEmpty());
}

// A descriptor the file cannot take is closed, not leaked: a run opens every source once.
TEST(OpenRegularFile, ADescriptorTheFileCannotTakeIsClosed) {
    TempTree tree;
    const QString path = tree.WriteFile(QStringLiteral("a.bin"), "bytes");
    QString error;
    QFile file;
    ASSERT_TRUE(OpenRegularFile(path, file, &error)) << error.toStdString();
    EXPECT_EQ(file.readAll(), QByteArray("bytes"));
    const int fd = OpenRegularFile(path, &error);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(AdoptDescriptor(file, fd, &error));  // already open
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);
}

TEST(AbsolutePaths, RelativeOnesJoinTheCurrentFolder) {
    EXPECT_EQ(AbsolutePath(QStringLiteral("/a/./b/../c")), QStringLiteral("/a/c"));
    EXPECT_EQ(AbsolutePath(QStringLiteral("x/y")), QDir::currentPath() + QStringLiteral("/x/y"));
}

}  // namespace
}  // namespace corvane
