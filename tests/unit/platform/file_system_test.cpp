#include "platform/file_system.h"
#include "platform/atomic_file.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <QDir>

#include <sys/stat.h>

namespace corvane {
namespace {

using test::ReadAll;
using test::TempTree;

// Files in a folder other than the expected ones: a leftover temporary file shows here.
QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

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
    ASSERT_TRUE(CopyFileAtomically(source, target, false));
    EXPECT_EQ(ReadAll(target), ReadAll(source));

    tree.WriteFile(QStringLiteral("out/b.bin"), "keep me");
    EXPECT_FALSE(CopyFileAtomically(source, tree.Path(QStringLiteral("out/b.bin")), false));
    EXPECT_EQ(ReadAll(tree.Path(QStringLiteral("out/b.bin"))), QByteArray("keep me"));
    EXPECT_EQ(Entries(tree.Path(QStringLiteral("out"))), (QStringList{"a.bin", "b.bin"}));
    // Replacing is atomic too: the old bytes until the new ones are complete.
    ASSERT_TRUE(CopyFileAtomically(source, tree.Path(QStringLiteral("out/b.bin")), true));
    EXPECT_EQ(ReadAll(tree.Path(QStringLiteral("out/b.bin"))), ReadAll(source));
    EXPECT_EQ(Entries(tree.Path(QStringLiteral("out"))), (QStringList{"a.bin", "b.bin"}));
}

TEST(CopyNoReplace, MissingSourceOrFolderLeavesNothing) {
    TempTree tree;
    tree.MakeFolder(QStringLiteral("out"));
    EXPECT_FALSE(CopyFileAtomically(tree.Path(QStringLiteral("none")),
                                    tree.Path(QStringLiteral("out/x")), false));
    EXPECT_TRUE(Entries(tree.Path(QStringLiteral("out"))).isEmpty());
    const QString source = tree.WriteFile(QStringLiteral("s"));
    EXPECT_FALSE(CopyFileAtomically(source, tree.Path(QStringLiteral("missing/x")), true));
}

TEST(AtomicWrite, ReplacesTheTargetOnlyOnCommit) {
    TempTree tree;
    const QString target = tree.WriteFile(QStringLiteral("t.txt"), "old");
    {
        AtomicFile file(target);
        ASSERT_TRUE(file.Open());
        file.Device()->write("new contents");
        EXPECT_EQ(ReadAll(target), QByteArray("old"));
        // Dropped without Commit: the target stays and the temporary file goes.
    }
    EXPECT_EQ(ReadAll(target), QByteArray("old"));
    EXPECT_EQ(Entries(tree.Root()), QStringList{"t.txt"});

    AtomicFile file(target);
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
    const QString folder = tree.MakeFolder(QStringLiteral("ro"));
    const QString target = tree.WriteFile(QStringLiteral("ro/t.txt"), "old");
    tree.OpenToEveryone();
    ::chmod(QFile::encodeName(folder).constData(), 0555);
    const int result = test::RunUnprivileged([&] {
        AtomicFile file(target);
        if (file.Open()) {
            return 1;  // the folder must refuse the temporary file
        }
        return file.Commit() ? 2 : 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadAll(target), QByteArray("old"));
    EXPECT_EQ(Entries(folder), QStringList{"t.txt"});
}

}  // namespace
}  // namespace corvane
