#include "choice_rules.h"
#include "selection/shell_path.h"
#include "selection_test_util.h"

#include <QDir>
#include <QUrl>

namespace corvane {
namespace {

using test::Link;
using test::Relative;
using test::TempTree;
using test::WriteShortcut;

std::vector<QString> Names(std::initializer_list<const char16_t*> names) {
    std::vector<QString> out;
    for (const char16_t* name : names) {
        out.push_back(QString::fromUtf16(name));
    }
    return out;
}

TEST(WorkingLists, RebuildSortsMarkedItemsIntoFoldersAndFilesInListOrder) {
    TempTree tree;
    tree.MakeFolder(QStringLiteral("b folder"));
    tree.MakeFolder(QStringLiteral("照片"));
    tree.WriteFile(QStringLiteral("a.jpg"));
    tree.WriteFile(QStringLiteral("line\nbreak.png"));
    Link(tree.Path(QStringLiteral("照片")), tree.Path(QStringLiteral("to folder")));
    PathList files{QStringLiteral("stale")};
    PathList folders{QStringLiteral("stale")};
    RebuildWorkingLists(
        tree.Root().chopped(1),
        Names({u"a.jpg", u"b folder", u"line\nbreak.png", u"to folder", u"照片", u"vanished.png"}),
        files, folders);
    // A link to a folder is a folder; a name that no longer exists is a file.
    EXPECT_EQ(Relative(files, tree), QStringList({"a.jpg", "line\nbreak.png", "vanished.png"}));
    EXPECT_EQ(Relative(folders, tree), QStringList({"b folder", "to folder", "照片"}));
}

TEST(WorkingLists, ALinkLoopIsAFileAndDoesNotHang) {
    TempTree tree;
    Link(tree.Path(QStringLiteral("b")), tree.Path(QStringLiteral("a")));
    Link(tree.Path(QStringLiteral("a")), tree.Path(QStringLiteral("b")));
    Link(tree.Root(), tree.Path(QStringLiteral("self")));
    PathList files;
    PathList folders;
    RebuildWorkingLists(tree.Root(), Names({u"a", u"b", u"self"}), files, folders);
    EXPECT_EQ(Relative(files, tree), QStringList({"a", "b"}));
    EXPECT_EQ(Relative(folders, tree), QStringList({"self"}));
}

// What the main window's lists and LastMultiSelectFolder hold after OK in the multi picker.
struct MultiOutcome {
    PathList files;
    PathList folders;
    QString last = QStringLiteral("previous");
};

MultiOutcome Ok(PathList workingFiles, PathList workingFolders, const QString& chosen) {
    MultiOutcome out;
    out.files = {QStringLiteral("earlier file")};
    out.folders = {QStringLiteral("earlier folder")};
    ApplyMultiSelection(workingFiles, workingFolders, chosen, out.files, out.folders, out.last);
    EXPECT_TRUE(workingFiles.empty() && workingFolders.empty());
    return out;
}

TEST(MultiSelectionOk, NothingMarkedAddsTheFolderShown) {
    TempTree tree;
    const QString shown = tree.MakeFolder(QStringLiteral("shown")).chopped(1);
    const MultiOutcome out = Ok({}, {}, shown);
    EXPECT_EQ(out.files, PathList({"earlier file"}));
    EXPECT_EQ(out.folders, PathList({"earlier folder", shown}));
    EXPECT_EQ(out.last, shown);
}

TEST(MultiSelectionOk, MarkedItemsAreAppendedAndTheSameFolderTwiceStaysTwice) {
    TempTree tree;
    const QString a = tree.MakeFolder(QStringLiteral("a")).chopped(1);
    const QString file = tree.WriteFile(QStringLiteral("x.png"));
    MultiOutcome out = Ok({file}, {a}, file);
    EXPECT_EQ(out.files, PathList({"earlier file", file}));
    EXPECT_EQ(out.folders, PathList({"earlier folder", a}));
    // The chosen path was the one marked file: the next selection starts there.
    EXPECT_EQ(out.last, file);
    PathList working{a};
    PathList none;
    ApplyMultiSelection(none, working, a, out.files, out.folders, out.last);
    EXPECT_EQ(out.folders, PathList({"earlier folder", a, a}));
}

TEST(MultiSelectionOk, ShortcutsMoveToTheFoldersAfterThoseMarkedDirectly) {
    TempTree tree;
    const QString direct = tree.MakeFolder(QStringLiteral("direct")).chopped(1);
    const QString target = tree.WriteFile(QStringLiteral("deep/target.png"));
    const QString shortcut = WriteShortcut(tree, QStringLiteral("to target.desktop"),
                                           QUrl::fromLocalFile(target).toString());
    const QString web = WriteShortcut(tree, QStringLiteral("web.desktop"), "https://example.org");
    const QString plain = tree.WriteFile(QStringLiteral("plain.png"));
    const MultiOutcome out = Ok({plain, shortcut, web}, {direct}, tree.Root());
    // A shortcut to a file becomes an entry of the folder list, on purpose. A shortcut to no
    // file-system path stays what it is, a file.
    EXPECT_EQ(out.files, PathList({"earlier file", plain, web}));
    EXPECT_EQ(out.folders, PathList({"earlier folder", direct, target}));
}

TEST(MultiSelectionOk, AChosenPathThatDoesNotExistIsIgnored) {
    TempTree tree;
    const MultiOutcome out = Ok({}, {}, tree.Path(QStringLiteral("gone")));
    EXPECT_EQ(out.folders, PathList({"earlier folder"}));
    EXPECT_EQ(out.last, QStringLiteral("previous"));
}

TEST(MultiSelectionOk, AnUnresolvableShortcutChosenAloneGivesItsFolder) {
    TempTree tree;
    const QString broken = tree.WriteFile(QStringLiteral("sub/broken.desktop"), "not an entry");
    const MultiOutcome out = Ok({}, {}, broken);
    EXPECT_EQ(out.folders, PathList({"earlier folder", tree.Path(QStringLiteral("sub/"))}));
    EXPECT_EQ(out.last, tree.Path(QStringLiteral("sub/")));
}

TEST(MultiSelectionOk, AChosenShortcutBecomesItsTarget) {
    TempTree tree;
    const QString target = tree.MakeFolder(QStringLiteral("target")).chopped(1);
    const QString shortcut =
        WriteShortcut(tree, QStringLiteral("t.desktop"), QUrl::fromLocalFile(target).toString());
    const MultiOutcome out = Ok({}, {}, shortcut);
    EXPECT_EQ(out.folders, PathList({"earlier folder", target}));
    EXPECT_EQ(out.last, target);
}

TEST(MultiSelectStart, LastFolderThenSourceTextThenTheNearestFolderAbove) {
    TempTree tree;
    const QString last = tree.MakeFolder(QStringLiteral("last"));
    const QString source = tree.MakeFolder(QStringLiteral("source"));
    EXPECT_EQ(MultiSelectStartFolder(last, source), last);
    EXPECT_EQ(MultiSelectStartFolder(QString(), QStringLiteral("  ") + source + u' '), source);
    // A folder that does not exist (yet) opens the nearest folder above it that does.
    EXPECT_EQ(MultiSelectStartFolder(QString(), tree.Path(QStringLiteral("gone/deeper/"))),
              tree.Root().chopped(1));
    EXPECT_EQ(MultiSelectStartFolder(QString(), QString()), RootFolder());
    EXPECT_EQ(RootFolder(), QDir::toNativeSeparators(QDir::rootPath()));
}

struct SingleRow {
    const char* name;
    const char* candidate;  // "ROOT/" stands for the tree
    const char* expected;
    friend void PrintTo(const SingleRow& row, std::ostream* os) { *os << row.name; }
};

class SingleFolderResults : public ::testing::TestWithParam<SingleRow> {};

TEST_P(SingleFolderResults, EndWithOneSeparator) {
    TempTree tree;
    tree.MakeFolder(QStringLiteral(" spaced "));
    tree.MakeFolder(QStringLiteral("target"));
    WriteShortcut(tree, QStringLiteral("link.desktop"),
                  QUrl::fromLocalFile(tree.Path(QStringLiteral("target"))).toString());
    const auto expand = [&](const char* text) {
        return QString::fromUtf8(text).replace(QStringLiteral("ROOT/"), tree.Root());
    };
    EXPECT_EQ(SingleFolderResult(expand(GetParam().candidate)), expand(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SingleFolderResults,
    ::testing::Values(SingleRow{"SeparatorAdded", "ROOT/target", "ROOT/target/"},
                      SingleRow{"BlanksTrimmedAndRunsCollapsed", "  ROOT//target  ",
                                "ROOT/target/"},
                      SingleRow{"AShortcutGivesItsTarget", "ROOT/link.desktop", "ROOT/target/"},
                      SingleRow{"AShortcutShownWithoutSuffix", "ROOT/link", "ROOT/target/"},
                      // On Linux names may begin and end with a blank.
                      SingleRow{"BlanksThatBelongToTheName", "ROOT/ spaced ", "ROOT/ spaced /"},
                      SingleRow{"AMissingFolderIsStillNormalized", "ROOT/gone//x", "ROOT/gone/x/"}),
    test::RowName());

}  // namespace
}  // namespace corvane
