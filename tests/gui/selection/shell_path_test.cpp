#include "selection/shell_path.h"
#include "selection_test_util.h"
#include "support/unprivileged.h"

#include <QUrl>

#include <sys/stat.h>

namespace corvane {
namespace {

using test::TempTree;
using test::WriteShortcut;

struct DisplayNameRow {
    const char* name;
    const char16_t* path;
    bool vistaOrLater;
    const char16_t* expected;  // nullptr: not resolved
    friend void PrintTo(const DisplayNameRow& row, std::ostream* os) { *os << row.name; }
};

class WindowsDisplayNames : public ::testing::TestWithParam<DisplayNameRow> {};

TEST_P(WindowsDisplayNames, MapToTheFolderMeant) {
    const DisplayNameRow& row = GetParam();
    const ShellResolution result =
        ResolveWindowsDisplayName(QString::fromUtf16(row.path), row.vistaOrLater);
    EXPECT_EQ(result.resolved, row.expected != nullptr);
    EXPECT_EQ(result.path, row.expected ? QString::fromUtf16(row.expected) : QString());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WindowsDisplayNames,
    ::testing::Values(
        DisplayNameRow{"PicturesBelowUsers", u"C:\\Users\\Bob\\图片", true,
                       u"C:\\Users\\Bob\\Pictures"},
        DisplayNameRow{"MyPicturesBelowUsers", u"C:\\Users\\Bob\\我的图片", true,
                       u"C:\\Users\\Bob\\Pictures"},
        // The occurrence starts at index 8, before the earliest allowed.
        DisplayNameRow{"PicturesRightBelowUsersIsNotAUserFolder", u"C:\\Users\\图片", true,
                       nullptr},
        DisplayNameRow{"PicturesOutsideUsers", u"D:\\Data\\图片", true, nullptr},
        DisplayNameRow{"PicturesBeforeVista", u"C:\\Users\\Bob\\图片", false, nullptr},
        // Only the first occurrence counts, and it must end the path.
        DisplayNameRow{"PicturesNotAtTheEnd", u"C:\\Users\\Bob\\图片\\2020", true, nullptr},
        DisplayNameRow{"CaseMatters", u"c:\\users\\Bob\\图片", true, nullptr},
        DisplayNameRow{"OldPicturesFolder",
                       u"C:\\Documents and Settings\\Bob\\My Documents\\图片收藏", false,
                       u"C:\\Documents and Settings\\Bob\\My Documents\\My Pictures"},
        DisplayNameRow{"DriveWithLabel", u"本地磁盘 (E:)", true, u"E:\\"},
        DisplayNameRow{"DriveWithoutLabel", u"(C:)", true, u"C:\\"},
        DisplayNameRow{"DriveInsideAPath", u"My Computer\\Local Disk (C:)", true, u"C:\\"},
        DisplayNameRow{"ParenthesesButNoDrive", u"Photos (2020)", true, nullptr},
        DisplayNameRow{"TooShortForADrive", u"C:)", true, nullptr}),
    test::RowName());

TEST(ResolveShellPath, AnExistingFolderOrFileIsLeftAlone) {
    TempTree tree;
    // A real folder named like the localized picture folder is not renamed.
    EXPECT_FALSE(ResolveShellPath(tree.MakeFolder(QStringLiteral("Users/Bob/图片"))).resolved);
    EXPECT_FALSE(ResolveShellPath(tree.WriteFile(QStringLiteral("photo.jpg"))).resolved);
    EXPECT_FALSE(ResolveShellPath(QString()).resolved);
}

TEST(ResolveShellPath, AShortcutGivesItsTargetWhetherShownWithOrWithoutItsSuffix) {
    TempTree tree;
    const QString target = tree.MakeFolder(QStringLiteral("目标 folder"));
    const QString shortcut =
        WriteShortcut(tree, QStringLiteral("相册.desktop"), QUrl::fromLocalFile(target).toString());
    for (const QString& picked : {shortcut, tree.Path(QStringLiteral("相册")),
                                  QStringLiteral("  ") + shortcut + QStringLiteral(" ")}) {
        const ShellResolution result = ResolveShellPath(picked);
        EXPECT_TRUE(result.resolved) << picked.toStdString();
        EXPECT_EQ(result.path, target);
    }
}

TEST(ResolveShellPath, ANameThatMatchesNoRuleIsNotResolved) {
    TempTree tree;
    EXPECT_FALSE(ResolveShellPath(tree.Path(QStringLiteral("gone"))).resolved);
    // On Linux the Windows names are ordinary names.
    EXPECT_FALSE(ResolveShellPath(tree.Path(QStringLiteral("本地磁盘 (E:)"))).resolved);
}

struct ShortcutRow {
    const char* name;
    QByteArray contents;
    bool resolved;
    const char* target;  // relative to the tree; "" for an empty target
    friend void PrintTo(const ShortcutRow& row, std::ostream* os) { *os << row.name; }
};

class DesktopShortcuts : public ::testing::TestWithParam<ShortcutRow> {};

TEST_P(DesktopShortcuts, ResolveOnlyWhenTheyAreLinks) {
    const ShortcutRow& row = GetParam();
    TempTree tree;
    tree.MakeFolder(QStringLiteral("my photos"));
    QByteArray contents = row.contents;
    contents.replace("ROOT/", QFile::encodeName(tree.Root()));
    const ShellResolution result =
        ResolveShortcut(tree.WriteFile(QStringLiteral("s.desktop"), contents));
    EXPECT_EQ(result.resolved, row.resolved);
    const QString expected = QString::fromUtf8(row.target);
    EXPECT_EQ(result.path, expected.isEmpty() ? expected : tree.Path(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DesktopShortcuts,
    ::testing::Values(
        ShortcutRow{"FileUrl", "[Desktop Entry]\nType=Link\nURL=file://ROOT/my%20photos\n", true,
                    "my photos"},
        ShortcutRow{"PlainPathAndEscapedSpace",
                    "[Desktop Entry]\nType=Link\nURL=ROOT/my\\sphotos\n", true, "my photos"},
        ShortcutRow{
            "CrLfAndComments",
            "# made elsewhere\r\n[Desktop Entry]\r\nURL = file://ROOT/x.png\r\nType=Link\r\n", true,
            "x.png"},
        // A link to a web page is a shortcut, but to nothing on disk.
        ShortcutRow{"WebAddress", "[Desktop Entry]\nType=Link\nURL=https://example.org/\n", true,
                    ""},
        ShortcutRow{"NoUrl", "[Desktop Entry]\nType=Link\n", true, ""},
        ShortcutRow{"ApplicationLauncher", "[Desktop Entry]\nType=Application\nExec=true\n", false,
                    ""},
        ShortcutRow{"KeysOutsideTheGroup", "[Other]\nType=Link\nURL=file:///tmp\n", false, ""},
        ShortcutRow{"NotADesktopEntry", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), false, ""},
        ShortcutRow{"Empty", "", false, ""}),
    test::RowName());

TEST(ResolveShortcut, AFolderOrAMissingFileIsNoShortcut) {
    TempTree tree;
    EXPECT_FALSE(ResolveShortcut(tree.MakeFolder(QStringLiteral("d.desktop"))).resolved);
    EXPECT_FALSE(ResolveShortcut(tree.Path(QStringLiteral("none.desktop"))).resolved);
}

TEST(ResolveShortcut, AnOversizedFileIsNotReadWhole) {
    TempTree tree;
    const QByteArray entry = "[Desktop Entry]\nType=Link\nURL=file:///tmp\n";
    const QString path =
        tree.WriteFile(QStringLiteral("big.desktop"), entry + QByteArray(1 << 20, '#'));
    EXPECT_FALSE(ResolveShortcut(path).resolved);
}

TEST(ResolveShortcut, AShortcutThatCannotBeReadIsNotResolved) {
    TempTree tree;
    const QString path = WriteShortcut(tree, QStringLiteral("locked.desktop"), "file:///tmp");
    tree.OpenToEveryone();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    const int result = test::RunUnprivileged([&] {
        const ShellResolution r = ResolveShellPath(path);
        return r.resolved ? 1 : 0;
    });
    EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace corvane
