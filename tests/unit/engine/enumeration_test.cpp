#include "engine/enumeration.h"
#include "platform/path_text.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace corvane {
namespace {

using test::TempTree;

ListingControl NeverStopped(const QString& outputFolder = {}) {
    return {[] { return false; }, outputFolder};
}

QStringList Relative(const PathList& list, const QString& root) {
    QStringList out;
    for (const QString& p : list) {
        out << p.mid(root.size());
    }
    return out;
}

void Link(const QString& target, const QString& link) {
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()),
              0);
}

TEST(FolderListing, FilesComeBeforeSubfoldersDepthFirst) {
    TempTree tree;
    tree.WriteFile("a.png");
    tree.WriteFile("s1/b.png");
    tree.WriteFile("s1/deep/c.png");
    tree.WriteFile("s2/d.png");
    tree.WriteFile("z.txt");
    PathList list;
    int hidden = 0;
    ASSERT_EQ(EnumerateFolder(tree.Root(), list, true, hidden, NeverStopped()),
              ListingResult::Complete);
    // The root's own files first, then each sub-folder whole.
    EXPECT_EQ(Relative(list, tree.Root()),
              (QStringList{"a.png", "z.txt", "s1/b.png", "s1/deep/c.png", "s2/d.png"}));
}

// The order decides which images share a mosaic and which of two same-named outputs gets the
// clash prefix: it must not be the file system's hash order.
TEST(FolderListing, EveryFolderInNaturalOrder) {
    TempTree tree;
    for (const char* name : {"f10.png", "f3.png", "F2.png", "f1.png", "f4.png", "s10/x.png",
                             "s2/b.png", "s2/a.png", "s1/x.png"}) {
        tree.WriteFile(QString::fromLatin1(name));
    }
    PathList list;
    int hidden = 0;
    ASSERT_EQ(EnumerateFolder(tree.Root(), list, true, hidden, NeverStopped()),
              ListingResult::Complete);
    EXPECT_EQ(Relative(list, tree.Root()),
              (QStringList{"f1.png", "F2.png", "f3.png", "f4.png", "f10.png", "s1/x.png",
                           "s2/a.png", "s2/b.png", "s10/x.png"}));
}

// An output folder inside the source tree would be listed by the next run with subfolders, and
// its outputs processed again, nested deeper each time.
TEST(FolderListing, TheOutputFolderIsNeverASourceBelowTheListedFolder) {
    TempTree tree;
    tree.WriteFile("a.png");
    tree.WriteFile("out/a.PNG");
    tree.WriteFile("out/deeper/b.PNG");
    tree.WriteFile("sub/c.png");
    Link(tree.Path("out"), tree.Path("sub/link-to-out"));
    PathList list;
    int hidden = 0;
    ASSERT_EQ(EnumerateFolder(tree.Root(), list, true, hidden, NeverStopped(tree.Path("out/"))),
              ListingResult::Complete);
    EXPECT_EQ(Relative(list, tree.Root()), (QStringList{"a.png", "sub/c.png"}));
    // Chosen as the source itself, it is listed.
    list.clear();
    ASSERT_EQ(EnumerateFolder(tree.Path("out"), list, true, hidden, NeverStopped(tree.Path("out"))),
              ListingResult::Complete);
    EXPECT_EQ(Relative(list, tree.Root()), (QStringList{"out/a.PNG", "out/deeper/b.PNG"}));
}

TEST(FolderListing, LeftoverTemporariesAreNeitherListedNorCounted) {
    TempTree tree;
    tree.WriteFile("a.png");
    tree.WriteFile(".cvn-0123456789abcdef.tmp");
    tree.WriteFile(".cvn-notours.tmp");
    PathList list;
    int hidden = 0;
    ASSERT_EQ(EnumerateFolder(tree.Root(), list, false, hidden, NeverStopped()),
              ListingResult::Complete);
    EXPECT_EQ(Relative(list, tree.Root()), (QStringList{".cvn-notours.tmp", "a.png"}));
    EXPECT_EQ(hidden, 1);
}

TEST(FolderListing, AwkwardFoldersAreListedToo) {
    TempTree tree;
    tree.WriteFile("ends in blank /a.png");
    ASSERT_TRUE(tree.WriteRawName("gbk/\xd6\xd0.png", "x"));  // 中 in GBK
    const QString deep = tree.MakeDeepFolder("deep", 5000, "bottom.png");
    PathList list;
    int hidden = 0;
    // A folder whose name ends in a blank is taken as typed; trimmed, it would name nothing.
    ASSERT_EQ(EnumerateFolder(tree.Path("ends in blank "), list, false, hidden, NeverStopped()),
              ListingResult::Complete);
    ASSERT_EQ(EnumerateFolder(tree.Path("gbk"), list, false, hidden, NeverStopped()),
              ListingResult::Complete);
    ASSERT_EQ(EnumerateFolder(tree.Path("deep"), list, true, hidden, NeverStopped()),
              ListingResult::Complete);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], tree.Path("ends in blank /a.png"));
    EXPECT_EQ(list[1], tree.Path("gbk/") + QChar(0xDCD6) + QChar(0xDCD0) + ".png");
    EXPECT_EQ(list[2], deep + "bottom.png");
}

TEST(FolderListing, WithoutSubfoldersOnlyTheFolderItself) {
    TempTree tree;
    tree.WriteFile("a.png");
    tree.WriteFile("sub/b.png");
    PathList list;
    int hidden = 0;
    EnumerateFolder(tree.Root(), list, false, hidden, NeverStopped());
    EXPECT_EQ(Relative(list, tree.Root()), QStringList{"a.png"});
}

TEST(FolderListing, EveryKindOfFileIsListedAndHiddenOnesCounted) {
    TempTree tree;
    tree.WriteFile("Thumbs.db");
    tree.WriteFile("notes.txt");
    tree.WriteFile(".hidden.png");
    tree.WriteFile("sub/.also");
    tree.WriteFile("photo.jpg");
    PathList list;
    int hidden = 0;
    EnumerateFolder(tree.Root(), list, true, hidden, NeverStopped());
    EXPECT_EQ(list.size(), 5u);
    EXPECT_EQ(hidden, 2);
}

TEST(FolderListing, AwkwardNamesArriveIntact) {
    TempTree tree;
    const QStringList names = {"with space.png", "猫の写真 1.jpg", "line\nbreak.png", "ü-é.gif"};
    for (const QString& name : names) {
        tree.WriteFile(name);
    }
    PathList list;
    int hidden = 0;
    EnumerateFolder(tree.Root(), list, false, hidden, NeverStopped());
    QStringList found = Relative(list, tree.Root());
    found.sort();
    QStringList expected = names;
    expected.sort();
    EXPECT_EQ(found, expected);
    for (const QString& path : list) {
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    }
}

TEST(FolderListing, EmptyOrMissingFolder) {
    TempTree tree;
    PathList list;
    int hidden = 0;
    EXPECT_EQ(EnumerateFolder(tree.MakeFolder("empty"), list, true, hidden, NeverStopped()),
              ListingResult::Complete);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(EnumerateFolder(tree.Path("gone/"), list, true, hidden, NeverStopped()),
              ListingResult::Missing);
    EXPECT_EQ(EnumerateFolder("   ", list, true, hidden, NeverStopped()), ListingResult::Missing);
}

TEST(FolderListing, LinkedFoldersAreFollowedOnceAndLoopsEnd) {
    TempTree tree;
    tree.WriteFile("real/a.png");
    tree.WriteFile("other/b.png");
    Link(tree.Path("real"), tree.Path("real/loop"));       // points at its own parent
    Link(tree.Path("other"), tree.Path("real/to-other"));  // a folder elsewhere
    PathList list;
    int hidden = 0;
    ASSERT_EQ(EnumerateFolder(tree.Path("real"), list, true, hidden, NeverStopped()),
              ListingResult::Complete);
    QStringList names = Relative(list, tree.Path("real/"));
    names.sort();
    EXPECT_EQ(names, (QStringList{"a.png", "to-other/b.png"}));
}

// Folders that cannot be listed (no read permission, also when they can be passed through) are
// skipped, the rest is listed, and each is reported with the system's reason.
TEST(FolderListing, UnreadableSubfoldersAreReportedAndTheRestListed) {
    TempTree tree;
    tree.WriteFile("a.png");
    tree.WriteFile("locked/secret.png");
    tree.WriteFile("passable/secret.png");
    tree.WriteFile("open/b.png");
    tree.OpenToEveryone();
    ::chmod(QFile::encodeName(tree.Path("locked")).constData(), 0000);
    ::chmod(QFile::encodeName(tree.Path("passable")).constData(), 0311);
    const QString root = tree.Root();
    const int result = test::RunUnprivileged([&] {
        PathList list;
        int hidden = 0;
        QStringList reported;
        const ListingControl control{[] { return false; },
                                     {},
                                     [&](const QString& folder, const QString& why) {
                                         reported << folder.mid(root.size()) + u' ' + why;
                                     }};
        if (EnumerateFolder(root, list, true, hidden, control) != ListingResult::Complete) {
            return 1;
        }
        QStringList names = Relative(list, root);
        names.sort();
        if (names != QStringList{"a.png", "open/b.png"}) {
            return 2;
        }
        const QString denied = QString::fromLocal8Bit(std::strerror(EACCES));
        return reported == QStringList{"locked/ " + denied, "passable/ " + denied} ? 0 : 3;
    });
    EXPECT_EQ(result, 0);
}

TEST(FolderListing, StopIsNoticedWithinOneEntry) {
    TempTree tree;
    for (int i = 0; i < 50; ++i) {
        tree.WriteFile(QStringLiteral("d%1/f%2.png").arg(i % 5).arg(i));
    }
    int polls = 0;
    const ListingControl control{[&] { return ++polls > 7; }, {}};
    PathList list;
    int hidden = 0;
    EXPECT_EQ(EnumerateFolder(tree.Root(), list, true, hidden, control), ListingResult::Stopped);
    EXPECT_TRUE(list.empty());
    EXPECT_LE(polls, 9);  // nothing more was read once the stop was seen
}

TEST(PathLists, FolderModeDropsFoldersInsideKeptOnes) {
    PathList folders = {"/p/Photos/2024/", "/p/Photos/", " /p/Photos/ ", "/p/Photos2/",
                        "/p/Pho",          "",           "/q/"};
    SortAndDedupePaths(folders, true);
    // "/p/Photos2/" does not lie inside "/p/Photos/" and "/p/Photos/" not inside "/p/Pho": a
    // folder whose name merely begins like another's is kept.
    EXPECT_EQ(folders, (PathList{"/p/Pho", "/p/Photos/", "/p/Photos2/", "/q/"}));
}

TEST(PathLists, FileModeDropsExactDuplicatesInNaturalOrder) {
    PathList files = {"/p/10.png", "/p/9.png", "/p/9.png", "/p/A.png", "/p/a.png"};
    SortAndDedupePaths(files, false);
    EXPECT_EQ(files, (PathList{"/p/9.png", "/p/10.png", "/p/A.png", "/p/a.png"}));
    PathList one = {"x"};
    SortAndDedupePaths(one, false);
    EXPECT_EQ(one, PathList{"x"});
}

TEST(PathLists, AppendAndReleaseTolerateMissingLists) {
    PathList dst = {"a"};
    const PathList src = {"b", "c"};
    AppendPaths(&dst, &src);
    AppendPaths(&dst, nullptr);
    AppendPaths(nullptr, &src);
    EXPECT_EQ(dst, (PathList{"a", "b", "c"}));
    PathListHolder holder = std::make_unique<PathList>(src);
    ReleasePaths(holder);
    EXPECT_EQ(holder, nullptr);
    ReleasePaths(holder);
}

class MultiPathCounting : public ::testing::Test {
protected:
    ListingResult Count() { return CountSources(selection, files, hidden, NeverStopped()); }
    TempTree tree;
    SourceSelection selection{
        true, {}, false, std::make_unique<PathList>(), std::make_unique<PathList>(), true};
    PathList files;
    int hidden = 0;
};

TEST_F(MultiPathCounting, FilesAppearOnceInNaturalOrder) {
    const QString inFolder = tree.WriteFile("sel/9.png");
    tree.WriteFile("sel/10.png");
    tree.WriteFile("sel/inner/x.png");
    const QString loose = tree.WriteFile("loose/.h.png");
    const QString leftover = tree.WriteFile("loose/.cvn-0123456789abcdef.tmp");
    *selection.selectedFiles = {loose, loose, inFolder, leftover};
    *selection.selectedFolders = {tree.Path("sel/"), tree.Path("sel/inner/")};
    SortAndDedupePaths(*selection.selectedFolders, true);
    selection.multiIncludeSubfolders = false;
    ASSERT_EQ(Count(), ListingResult::Complete);
    // The inner folder was dropped as lying inside sel/, so without subfolders x.png is not
    // listed, even though it was selected.
    EXPECT_EQ(Relative(files, tree.Root()),
              (QStringList{"loose/.h.png", "sel/9.png", "sel/10.png"}));
    EXPECT_EQ(hidden, 2);  // the loose hidden file was selected twice before de-duplication
    EXPECT_EQ(selection.selectedFiles, nullptr);
    EXPECT_EQ(selection.selectedFolders, nullptr);
}

TEST_F(MultiPathCounting, ThousandNumberedFilesInNaturalOrderAndMissingFolderSkipped) {
    for (int i = 1000; i >= 1; --i) {
        tree.WriteFile(QStringLiteral("n/%1.png").arg(i));
    }
    *selection.selectedFolders = {tree.Path("gone/"), tree.Path("n/")};
    ASSERT_EQ(Count(), ListingResult::Complete);
    ASSERT_EQ(files.size(), 1000u);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(FileNamePart(files[static_cast<size_t>(i)]), QStringLiteral("%1.png").arg(i + 1));
    }
}

TEST(SinglePathCounting, VanishedSourceIsMissing) {
    TempTree tree;
    SourceSelection selection;
    selection.sourcePath = tree.Path("vanished/");
    PathList files;
    int hidden = 0;
    EXPECT_EQ(CountSources(selection, files, hidden, NeverStopped()), ListingResult::Missing);
}

}  // namespace
}  // namespace corvane
