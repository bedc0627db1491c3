#include "picker_driver.h"
#include "platform/file_system.h"
#include "selection/profile_store.h"
#include "selection_test_util.h"
#include "support/unprivileged.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>

#include <sys/stat.h>

namespace corvane {
namespace {

using Mode = CFolderPickerDialog::Mode;
using namespace test;

const QString kOk = QStringLiteral("确定");
const QString kCancel = QStringLiteral("取消");

class Picker : public ::testing::Test {
protected:
    TempTree tree;
    QTemporaryDir config;
    QString profileFile = config.filePath(QStringLiteral("corvane.ini"));
    ProfileStore profile{profileFile};
    PathList files;
    PathList folders;

    void SetUp() override {
        tree.MakeFolder(QStringLiteral("a2"));
        tree.MakeFolder(QStringLiteral("a10"));
        tree.MakeFolder(QStringLiteral("照片 集"));
        tree.MakeFolder(QStringLiteral(".hidden"));
        tree.WriteFile(QStringLiteral("b.png"));
        tree.WriteFile(QStringLiteral("A.JPG"));
        tree.WriteFile(QStringLiteral("a2/inner.png"));
    }

    // The picker shown on `folder` (the tree's root by default), its list filled.
    std::unique_ptr<CFolderPickerDialog> Show(Mode mode, const QString& folder = {}) {
        auto dialog = std::make_unique<CFolderPickerDialog>(
            mode, folder.isEmpty() ? tree.Root() : folder, profile);
        dialog->UseViewMode(0);
        dialog->AttachSelectionLists(&files, &folders);
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        EXPECT_TRUE(WaitListed(*dialog));
        return dialog;
    }

    QString Root() const { return tree.Root().chopped(1); }
};

TEST_F(Picker, SingleModeListsFoldersOnlyInNaturalOrder) {
    auto dialog = Show(Mode::Single);
    EXPECT_EQ(ListedNames(*dialog), QStringList({"a2", "a10", "照片 集"}));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select Folder"));
    EXPECT_EQ(dialog->CurrentFolder(), Root());
    EXPECT_EQ(HistoryBox(*dialog).currentText(), Root());
}

TEST_F(Picker, MultiModeListsFoldersThenFiles) {
    auto dialog = Show(Mode::Multi);
    EXPECT_EQ(ListedNames(*dialog), QStringList({"a2", "a10", "照片 集", "A.JPG", "b.png"}));
}

TEST_F(Picker, OpeningUpAndBackMoveBetweenFolders) {
    auto dialog = Show(Mode::Single);
    DoubleClickRow(*dialog, QStringLiteral("a2"));
    ASSERT_TRUE(WaitListed(*dialog));
    EXPECT_EQ(dialog->CurrentFolder(), tree.Path(QStringLiteral("a2")));
    EXPECT_EQ(dialog->ChosenPath(), tree.Path(QStringLiteral("a2")));
    Press(*dialog, QStringLiteral("向上一级"));
    ASSERT_TRUE(WaitListed(*dialog));
    EXPECT_EQ(dialog->CurrentFolder(), Root());
    Press(*dialog, QStringLiteral("后退"));
    ASSERT_TRUE(WaitListed(*dialog));
    EXPECT_EQ(dialog->CurrentFolder(), tree.Path(QStringLiteral("a2")));
    // Backspace in the list is the folder above; Enter on a folder opens it.
    QTest::keyClick(Views(*dialog).CurrentView(), Qt::Key_Backspace);
    ASSERT_TRUE(WaitListed(*dialog));
    ClickRow(*dialog, QStringLiteral("照片 集"));
    QTest::keyClick(Views(*dialog).CurrentView(), Qt::Key_Return);
    ASSERT_TRUE(WaitListed(*dialog));
    EXPECT_EQ(dialog->CurrentFolder(), tree.Path(QStringLiteral("照片 集")));
    EXPECT_TRUE(dialog->isVisible());
    // The look-in box holds the folder and every folder above it.
    QComboBox* lookIn = nullptr;
    for (QComboBox* box : dialog->findChildren<QComboBox*>()) {
        if (box->accessibleName() == QStringLiteral("查找范围：")) {
            lookIn = box;
        }
    }
    ASSERT_NE(lookIn, nullptr);
    EXPECT_EQ(lookIn->currentText(), tree.Path(QStringLiteral("照片 集")));
    EXPECT_EQ(lookIn->itemText(0), QDir::rootPath());
}

TEST_F(Picker, SingleModeOkGivesTheMarkedFolderAndRecordsIt) {
    auto dialog = Show(Mode::Single);
    ClickRow(*dialog, QStringLiteral("a10"));
    EXPECT_EQ(HistoryBox(*dialog).currentText(), tree.Path(QStringLiteral("a10")));
    Press(*dialog, kOk);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->ChosenPath(), tree.Path(QStringLiteral("a10")));
    EXPECT_EQ(profile.ReadString(QStringLiteral("FolderHistory"), QStringLiteral("Folder0000")),
              tree.Path(QStringLiteral("a10")));
}

TEST_F(Picker, SingleModeOkWithNothingMarkedTakesTheFolderShown) {
    auto dialog = Show(Mode::Single);
    Press(*dialog, kOk);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->ChosenPath(), Root());
}

struct RefusalRow {
    const char* name;
    const char* typed;  // "ROOT/" stands for the tree
    const char* message;
    friend void PrintTo(const RefusalRow& row, std::ostream* os) { *os << row.name; }
};

class SingleModeRefusals : public Picker, public ::testing::WithParamInterface<RefusalRow> {};

TEST_P(SingleModeRefusals, KeepTheDialogOpen) {
    auto dialog = Show(Mode::Single);
    const auto expand = [&](const char* text) {
        return QString::fromUtf8(text).replace(QStringLiteral("ROOT/"), tree.Root());
    };
    HistoryBox(*dialog).setEditText(expand(GetParam().typed));
    Press(*dialog, kOk);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(TakeMessage(*dialog), expand(GetParam().message));
    EXPECT_TRUE(profile.ReadString(QStringLiteral("FolderHistory"), QStringLiteral("Folder0000"))
                    .isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, SingleModeRefusals,
                         ::testing::Values(RefusalRow{"EmptyPath", "", "Please select a folder."},
                                           RefusalRow{"MissingFolder", "ROOT/gone",
                                                      "The folder 'ROOT/gone' isn't accessible."},
                                           RefusalRow{"AFileIsNoFolder", "ROOT/b.png",
                                                      "The folder 'ROOT/b.png' isn't accessible."}),
                         RowName());

TEST_F(Picker, CancelRecordsNothing) {
    auto dialog = Show(Mode::Multi);
    ClickRow(*dialog, QStringLiteral("b.png"));
    Press(*dialog, kCancel);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    dialog.reset();
    EXPECT_TRUE(profile.ReadString(QStringLiteral("FolderHistory"), QStringLiteral("Folder0000"))
                    .isEmpty());
}

TEST_F(Picker, WorkingListsFollowTheMarkedItemsAndSurviveAnEmptySelection) {
    auto dialog = Show(Mode::Multi);
    ClickRow(*dialog, QStringLiteral("b.png"));
    ClickRow(*dialog, QStringLiteral("a2"), Qt::ControlModifier);
    EXPECT_EQ(Relative(files, tree), QStringList({"b.png"}));
    EXPECT_EQ(Relative(folders, tree), QStringList({"a2"}));
    // Several marked: the chosen path is their folder.
    EXPECT_EQ(dialog->ChosenPath(), Root());
    // Shift extends from the last item clicked; the lists stay in list order.
    ClickRow(*dialog, QStringLiteral("A.JPG"), Qt::ShiftModifier);
    EXPECT_EQ(Relative(folders, tree), QStringList({"a2", "a10", "照片 集"}));
    EXPECT_EQ(Relative(files, tree), QStringList({"A.JPG", "b.png"}));

    // A click on empty space marks nothing.
    QWidget* viewport = Views(*dialog).CurrentView()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier,
                      QPoint(viewport->width() - 4, viewport->height() - 4));
    ASSERT_TRUE(Views(*dialog).SelectedRows().empty());
    EXPECT_EQ(Relative(files, tree), QStringList({"A.JPG", "b.png"}));
    EXPECT_EQ(Relative(folders, tree), QStringList({"a2", "a10", "照片 集"}));
    Press(*dialog, kOk);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(Relative(files, tree), QStringList({"A.JPG", "b.png"}));
}

TEST_F(Picker, MovingToAnotherFolderEmptiesTheWorkingLists) {
    auto dialog = Show(Mode::Multi);
    ClickRow(*dialog, QStringLiteral("b.png"));
    ASSERT_EQ(files.size(), 1u);
    DoubleClickRow(*dialog, QStringLiteral("a10"));
    ASSERT_TRUE(WaitListed(*dialog));
    EXPECT_TRUE(files.empty());
    EXPECT_TRUE(folders.empty());
    Press(*dialog, kOk);
    EXPECT_EQ(dialog->ChosenPath(), tree.Path(QStringLiteral("a10")));
}

TEST_F(Picker, CtrlAMarksEverythingAndDoubleClickOnAFileIsOk) {
    auto dialog = Show(Mode::Multi);
    ClickRow(*dialog, QStringLiteral("a2"));
    QTest::keyClick(Views(*dialog).CurrentView(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(files.size() + folders.size(), 5u);
    DoubleClickRow(*dialog, QStringLiteral("b.png"));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(Relative(files, tree), QStringList({"b.png"}));
}

TEST_F(Picker, TheHistoryComesBackInAFreshDialog) {
    auto first = Show(Mode::Single);
    ClickRow(*first, QStringLiteral("a2"));
    Press(*first, kOk);
    first.reset();
    auto second = Show(Mode::Single, tree.Path(QStringLiteral("a10")));
    ASSERT_GE(HistoryBox(*second).count(), 1);
    EXPECT_EQ(HistoryBox(*second).itemText(0), tree.Path(QStringLiteral("a2")));
    EXPECT_EQ(HistoryBox(*second).currentText(), tree.Path(QStringLiteral("a10")));
    // Picking the entry with the keyboard opens that folder.
    HistoryBox(*second).setFocus();
    HistoryBox(*second).setCurrentIndex(-1);
    QTest::keyClick(&HistoryBox(*second), Qt::Key_Down);
    ASSERT_TRUE(WaitListed(*second));
    EXPECT_EQ(second->CurrentFolder(), tree.Path(QStringLiteral("a2")));
}

TEST_F(Picker, ATypedPathIsOpenedWhenTheBoxIsLeftAndChosenWithEnter) {
    auto dialog = Show(Mode::Multi);
    CFolderHistoryBox& box = HistoryBox(*dialog);
    // QTest types Latin-1 only; the rest of the path goes in as typed text would.
    box.setFocus();
    box.lineEdit()->selectAll();
    box.lineEdit()->insert(tree.Path(QStringLiteral("照片 集")));
    QTest::keyClick(&box, Qt::Key_Tab);
    ASSERT_TRUE(WaitListed(*dialog));
    EXPECT_EQ(dialog->CurrentFolder(), tree.Path(QStringLiteral("照片 集")));

    box.setFocus();
    box.lineEdit()->selectAll();
    box.lineEdit()->insert(tree.Path(QStringLiteral("a2/inner.png")));
    QTest::keyClick(&box, Qt::Key_Return);
    // Enter leaves the box, which opens the file's folder, and is OK: the box shows that folder.
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->CurrentFolder(), tree.Path(QStringLiteral("a2")));
    EXPECT_EQ(dialog->ChosenPath(), tree.Path(QStringLiteral("a2")));
}

TEST_F(Picker, TheViewInUseIsRememberedAsAViewCommand) {
    {
        auto dialog = Show(Mode::Multi);
        EXPECT_EQ(Views(*dialog).View(), PickerView::List);
        auto* viewMenu = qobject_cast<QToolButton*>(Button(*dialog, QStringLiteral("查看")));
        ASSERT_NE(viewMenu, nullptr);
        for (QAction* action : viewMenu->menu()->actions()) {
            if (action->text() == QStringLiteral("详细信息")) {
                action->trigger();
            }
        }
        EXPECT_EQ(Views(*dialog).View(), PickerView::Details);
        ClickRow(*dialog, QStringLiteral("b.png"));
        EXPECT_EQ(Relative(files, tree), QStringList({"b.png"}));
    }
    EXPECT_EQ(profile.ReadInt(QStringLiteral("FolderPickerDialog"), QStringLiteral("ViewMode"), 0),
              28747);
    auto again = Show(Mode::Single);
    EXPECT_EQ(Views(*again).View(), PickerView::Details);
}

TEST(PickerListing, LeavesOutHiddenEntriesAndSurvivesLinkLoops) {
    TempTree tree;
    tree.MakeFolder(QStringLiteral("z"));
    tree.MakeFolder(QStringLiteral(".config"));
    tree.WriteFile(QStringLiteral("b10.png"));
    tree.WriteFile(QStringLiteral("b9.png"));
    Link(tree.Path(QStringLiteral("loop2")), tree.Path(QStringLiteral("loop1")));
    Link(tree.Path(QStringLiteral("loop1")), tree.Path(QStringLiteral("loop2")));
    Link(tree.Root(), tree.Path(QStringLiteral("self")));
    const std::atomic<bool> cancel{false};
    const auto names = [&](bool foldersOnly) {
        const FolderListing listing = ListFolder(tree.Root(), foldersOnly, cancel);
        EXPECT_TRUE(listing.opened);
        QStringList out;
        for (const FolderEntry& entry : listing.entries) {
            out << entry.name + (entry.isFolder ? QStringLiteral("/") : QString());
        }
        return out;
    };
    EXPECT_EQ(names(false), QStringList({"self/", "z/", "b9.png", "b10.png", "loop1", "loop2"}));
    EXPECT_EQ(names(true), QStringList({"self/", "z/"}));
    EXPECT_FALSE(ListFolder(tree.Path(QStringLiteral("gone")), false, cancel).opened);
}

TEST(ViewCommands, MapEveryKnownCommandAndFallBackToTheList) {
    for (const PickerView view :
         {PickerView::Icons, PickerView::List, PickerView::Details, PickerView::Tiles}) {
        EXPECT_EQ(ViewFromCommand(CommandFromView(view)), view);
    }
    EXPECT_EQ(CommandFromView(PickerView::Details), 28747);
    EXPECT_EQ(CommandFromView(PickerView::List), 28753);
    // Windows XP's commands; 0 (small icons there) and unknown values give the list.
    EXPECT_EQ(ViewFromCommand(28716), PickerView::Details);
    EXPECT_EQ(ViewFromCommand(28718), PickerView::Tiles);
    EXPECT_EQ(ViewFromCommand(28713), PickerView::Icons);
    EXPECT_EQ(ViewFromCommand(0), PickerView::List);
    EXPECT_EQ(ViewFromCommand(-5), PickerView::List);
}

TEST_F(Picker, WithoutViewMemoryNothingIsWritten) {
    profile.WriteInt(QStringLiteral("FolderPickerDialog"), QStringLiteral("ViewMode"), 28748);
    {
        CFolderPickerDialog dialog(Mode::Single, tree.Root(), profile);
        dialog.UseViewMode(-1);
        dialog.show();
        ASSERT_TRUE(WaitListed(dialog));
        EXPECT_EQ(Views(dialog).View(), PickerView::List);
    }
    EXPECT_EQ(profile.ReadInt(QStringLiteral("FolderPickerDialog"), QStringLiteral("ViewMode"), 0),
              28748);
}

TEST_F(Picker, AFolderDeletedWhileShownGivesWayToTheFolderAbove) {
    const QString doomed = tree.MakeFolder(QStringLiteral("doomed/deeper"));
    auto dialog = Show(Mode::Multi, doomed);
    ASSERT_TRUE(QDir(tree.Path(QStringLiteral("doomed"))).removeRecursively());
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->CurrentFolder() == Root(); }, kWaitMs));
    ASSERT_TRUE(WaitListed(*dialog));
    EXPECT_FALSE(ListedNames(*dialog).contains(QStringLiteral("doomed")));
}

TEST_F(Picker, ChangesInTheFolderShowUpAndKeepWhatIsMarked) {
    auto dialog = Show(Mode::Multi);
    ClickRow(*dialog, QStringLiteral("b.png"));
    tree.WriteFile(QStringLiteral("arrived.png"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return ListedNames(*dialog).contains(QStringLiteral("arrived.png")); }, kWaitMs));
    EXPECT_EQ(Views(*dialog).SelectedRows(),
              std::vector<int>({Model(*dialog).RowOf(QStringLiteral("b.png"))}));
    EXPECT_EQ(Relative(files, tree), QStringList({"b.png"}));
}

TEST_F(Picker, ANewFolderIsCreatedAndNamedInPlace) {
    auto dialog = Show(Mode::Single);
    Press(*dialog, QStringLiteral("新建文件夹"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return ListedNames(*dialog).contains(QStringLiteral("新建文件夹")); }, kWaitMs));
    QPointer<QLineEdit> editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("新建文件夹"));
    // The folder's own change notice brings a new listing, which must not end the editing.
    QSignalSpy listed(dialog.get(), &CFolderPickerDialog::ListingFinished);
    ASSERT_TRUE(listed.wait(kWaitMs));
    ASSERT_FALSE(editor.isNull());
    EXPECT_EQ(QApplication::focusWidget(), editor);
    editor->selectAll();
    editor->insert(QStringLiteral("夏天"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return IsDirectory(tree.Path(QStringLiteral("夏天"))); }, kWaitMs));
    EXPECT_FALSE(QFile::exists(tree.Path(QStringLiteral("新建文件夹"))));
    EXPECT_EQ(dialog->CurrentFolder(), Root());
    // A name already taken is refused.
    EXPECT_FALSE(
        Model(*dialog).Rename(Model(*dialog).RowOf(QStringLiteral("a2")), QStringLiteral("a10")));
    EXPECT_FALSE(Model(*dialog).Rename(0, QStringLiteral("x/y")));
}

TEST_F(Picker, ANameWithALineBreakOrBlanksIsPickedWhole) {
    tree.WriteFile(QStringLiteral("two\nlines.png"));
    tree.WriteFile(QStringLiteral(" padded .png"));
    auto dialog = Show(Mode::Multi);
    ClickRow(*dialog, QStringLiteral("two\nlines.png"));
    ClickRow(*dialog, QStringLiteral(" padded .png"), Qt::ControlModifier);
    EXPECT_EQ(Relative(files, tree), QStringList({" padded .png", "two\nlines.png"}));
}

TEST_F(Picker, AFolderThatCannotBeReadIsRefused) {
    tree.MakeFolder(QStringLiteral("locked"));
    tree.OpenToEveryone();
    ASSERT_EQ(::chmod(QFile::encodeName(tree.Path(QStringLiteral("locked"))).constData(), 0), 0);
    // Run as an ordinary user, for whom the permissions count.
    const int result = RunUnprivileged([&] {
        CFolderPickerDialog dialog(Mode::Multi, tree.Path(QStringLiteral("locked")), profile);
        dialog.show();
        // The locked start folder gives way to the folder above it.
        if (!WaitListed(dialog) || dialog.CurrentFolder() != Root()) {
            return 1;
        }
        if (dialog.NavigateTo(tree.Path(QStringLiteral("locked"))) ||
            dialog.CurrentFolder() != Root()) {
            return 2;
        }
        return TakeMessage(dialog).contains(QStringLiteral("isn't accessible")) ? 0 : 3;
    });
    EXPECT_EQ(result, 0);
}

TEST_F(Picker, EveryControlHasAnAccessibleName) {
    for (const Mode mode : {Mode::Single, Mode::Multi}) {
        auto dialog = Show(mode);
        for (QWidget* widget : dialog->findChildren<QWidget*>()) {
            if (!widget->isVisible() || widget->focusPolicy() == Qt::NoFocus) {
                continue;
            }
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
            ASSERT_NE(accessible, nullptr);
            EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
                << widget->metaObject()->className();
        }
    }
}

}  // namespace
}  // namespace corvane
