#include "selection/choosers.h"
#include "choice_rules.h"
#include "picker_driver.h"
#include "picture_dialog.h"
#include "selection/profile_store.h"
#include "selection_test_util.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {
namespace {

using namespace test;

class Choosers : public ::testing::Test {
protected:
    TempTree tree;
    QTemporaryDir config;
    ProfileStore profile{config.filePath(QStringLiteral("corvane.ini"))};
};

TEST_F(Choosers, SingleFolderOkGivesTheMarkedFolderWithASeparator) {
    tree.MakeFolder(QStringLiteral("pick me"));
    WhenModalShows<CFolderPickerDialog>([](CFolderPickerDialog& dialog) {
        ASSERT_TRUE(WaitListed(dialog));
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("选择单个文件夹"));
        ClickRow(dialog, QStringLiteral("pick me"));
        Press(dialog, QStringLiteral("确定"));
    });
    EXPECT_EQ(ChooseSingleFolder(tree.Root(), profile), tree.Path(QStringLiteral("pick me/")));
}

TEST_F(Choosers, SingleFolderCancelGivesNothing) {
    WhenModalShows<CFolderPickerDialog>(
        [](CFolderPickerDialog& dialog) { Press(dialog, QStringLiteral("取消")); });
    const QString start = tree.MakeFolder(QStringLiteral("start")).chopped(1);
    EXPECT_EQ(ChooseSingleFolder(start, profile), std::nullopt);
}

// Where the source and save pickers open for what was typed.
TEST_F(Choosers, StartFolderIsTheTypedPathOrTheNearestFolderAboveIt) {
    const QString blank = tree.MakeFolder(QStringLiteral("ends in blank "));
    const QString plain = tree.MakeFolder(QStringLiteral("plain"));
    struct Row {
        const char* name;
        QString typed;
        QString expected;
    };
    const Row rows[] = {
        {"an existing folder", plain, plain},
        {"a folder whose name ends in a blank", blank.chopped(1), blank.chopped(1)},
        {"blanks typed around an existing folder", "  " + plain + " ", plain},
        {"a typo below a folder", plain + "typo/more", plain.chopped(1)},
        {"a folder not made yet", tree.Path(QStringLiteral("CVN_Save/")), tree.Root().chopped(1)},
        {"nothing typed", QString(), RootFolder()},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ChooserStartFolder(row.typed), row.expected) << row.name;
    }
}

TEST_F(Choosers, FilesAndFoldersAccumulateAndTheNextChoiceStartsWhereTheLastEnded) {
    const QString sub = tree.MakeFolder(QStringLiteral("sub"));
    tree.WriteFile(QStringLiteral("sub/x.png"));
    tree.WriteFile(QStringLiteral("y.png"));
    PathList files;
    PathList folders;
    QString last;
    WhenModalShows<CFolderPickerDialog>([](CFolderPickerDialog& dialog) {
        ASSERT_TRUE(WaitListed(dialog));
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("选择多个文件和文件夹"));
        ClickRow(dialog, QStringLiteral("y.png"));
        ClickRow(dialog, QStringLiteral("sub"), Qt::ControlModifier);
        Press(dialog, QStringLiteral("确定"));
    });
    ChooseFilesAndFolders(&files, &folders, last, tree.Root(), profile);
    EXPECT_EQ(Relative(files, tree), QStringList({"y.png"}));
    EXPECT_EQ(Relative(folders, tree), QStringList({"sub"}));
    EXPECT_EQ(last, tree.Root().chopped(1));

    // Next time: opened where the last ended, nothing marked, moved into "sub": "sub" is added.
    WhenModalShows<CFolderPickerDialog>([&](CFolderPickerDialog& dialog) {
        ASSERT_TRUE(WaitListed(dialog));
        EXPECT_EQ(dialog.CurrentFolder(), tree.Root().chopped(1));
        DoubleClickRow(dialog, QStringLiteral("sub"));
        ASSERT_TRUE(WaitListed(dialog));
        Press(dialog, QStringLiteral("确定"));
    });
    ChooseFilesAndFolders(&files, &folders, last, QString(), profile);
    EXPECT_EQ(Relative(folders, tree), QStringList({"sub", "sub"}));
    EXPECT_EQ(last, sub.chopped(1));

    WhenModalShows<CFolderPickerDialog>(
        [](CFolderPickerDialog& dialog) { Press(dialog, QStringLiteral("取消")); });
    ChooseFilesAndFolders(&files, &folders, last, QString(), profile);
    EXPECT_EQ(files.size() + folders.size(), 3u);
}

TEST_F(Choosers, WithoutTheListsNoDialogOpens) {
    PathList folders;
    QString last;
    ChooseFilesAndFolders(nullptr, &folders, last, tree.Root(), profile);
    EXPECT_TRUE(folders.empty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

constexpr int kFiles = 100000;

TEST_F(Choosers, AHundredThousandFilesAreMarkedAndAddedAtOnce) {
    const QString big = tree.MakeFolder(QStringLiteral("big"));
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray name = QFile::encodeName(big + QStringLiteral("IMG_%1.jpg").arg(i));
        ASSERT_EQ(::close(::open(name.constData(), O_CREAT | O_WRONLY, 0644)), 0);
    }
    PathList files;
    PathList folders;
    QString last;
    WhenModalShows<CFolderPickerDialog>([](CFolderPickerDialog& dialog) {
        ASSERT_TRUE(WaitListed(dialog));
        ASSERT_EQ(Model(dialog).rowCount(), kFiles);
        EXPECT_EQ(Model(dialog).FileName(1), QStringLiteral("IMG_1.jpg"));
        QTest::keyClick(Views(dialog).CurrentView(), Qt::Key_A, Qt::ControlModifier);
        Press(dialog, QStringLiteral("确定"));
    });
    ChooseFilesAndFolders(&files, &folders, last, big, profile);
    ASSERT_EQ(files.size(), static_cast<size_t>(kFiles));
    EXPECT_EQ(files[2], big + QStringLiteral("IMG_2.jpg"));
    EXPECT_TRUE(folders.empty());
}

struct OpenRow {
    const char* name;
    const char* path;  // relative to the tree
    bool opens;
    friend void PrintTo(const OpenRow& row, std::ostream* os) { *os << row.name; }
};

class FileCanBeOpenedRows : public ::testing::TestWithParam<OpenRow> {};

TEST_P(FileCanBeOpenedRows, OnlyForReadableFiles) {
    TempTree tree;
    tree.WriteFile(QStringLiteral("photo.jpg"));
    tree.WriteFile(QStringLiteral("empty.png"), QByteArray());
    tree.MakeFolder(QStringLiteral("folder"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(tree.Path(QStringLiteral("pipe"))).constData(), 0666), 0);
    const QString relative = QString::fromUtf8(GetParam().path);
    EXPECT_EQ(FileCanBeOpened(relative.isEmpty() ? relative : tree.Path(relative)),
              GetParam().opens);
}

INSTANTIATE_TEST_SUITE_P(Rows, FileCanBeOpenedRows,
                         ::testing::Values(OpenRow{"File", "photo.jpg", true},
                                           OpenRow{"EmptyFile", "empty.png", true},
                                           OpenRow{"Folder", "folder", false},
                                           OpenRow{"Missing", "gone.jpg", false},
                                           OpenRow{"EmptyPath", "", false},
                                           // Opening a pipe for reading would wait for a writer.
                                           OpenRow{"NamedPipe", "pipe", false}),
                         RowName());

TEST(FileCanBeOpened, NotWhenTheFileCannotBeRead) {
    TempTree tree;
    const QString path = tree.WriteFile(QStringLiteral("secret.png"));
    tree.OpenToEveryone();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    EXPECT_EQ(RunUnprivileged([&] { return FileCanBeOpened(path) ? 1 : 0; }), 0);
}

// The names an open picture chooser lists with the given filter choice, once they are `expected`
// (the dialog's model reads the folder and applies a filter on a thread of its own).
QStringList ListedWith(QFileDialog& dialog, int choice, const QStringList& expected) {
    dialog.selectNameFilter(PictureFilters().at(choice));
    auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
    QStringList names;
    const bool seen = QTest::qWaitFor(
        [&] {
            names.clear();
            const QModelIndex root = list->rootIndex();
            for (int row = 0; row < list->model()->rowCount(root); ++row) {
                const QModelIndex index = list->model()->index(row, 0, root);
                if (index.flags() & Qt::ItemIsEnabled) {
                    names << index.data().toString();
                }
            }
            names.sort();
            return names == expected;
        },
        kWaitMs);
    EXPECT_TRUE(seen) << "choice " << choice;
    return names;
}

TEST(PictureChooser, FiltersMatchRegardlessOfCase) {
    TempTree tree;
    for (const char* name :
         {"a.BMP", "b.png", "c.Gif", "d.tif", "e.TIFF", "f.jpg", "g.JPEG", "h.jpe", "i.jfif",
          "j.HEIC", "k.heif", "l.hif", "m.avif", "n.WebP", "o.jxl", "notes.txt", "README"}) {
        tree.WriteFile(QString::fromUtf8(name));
    }
    tree.MakeFolder(QStringLiteral("sub"));
    const auto dialog = CreatePictureFileDialog(tree.Path(QStringLiteral("b.png")), nullptr);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("请选择一个图片"));
    dialog->show();
    const QStringList pictures{"a.BMP",  "b.png",  "c.Gif",  "d.tif",  "e.TIFF", "f.jpg",
                               "g.JPEG", "h.jpe",  "i.jfif", "j.HEIC", "k.heif", "l.hif",
                               "m.avif", "n.WebP", "o.jxl",  "sub"};
    const std::pair<int, QStringList> rows[] = {
        {0, pictures},
        {1, {"a.BMP", "sub"}},
        {2, {"b.png", "sub"}},
        {3, {"c.Gif", "sub"}},
        {4, {"d.tif", "e.TIFF", "sub"}},
        {5, {"f.jpg", "g.JPEG", "h.jpe", "i.jfif", "sub"}},
        // Names without a dot too.
        {6, pictures + QStringList{"README", "notes.txt"}},
    };
    for (const auto& [choice, expected] : rows) {
        QStringList sorted = expected;
        sorted.sort();
        ListedWith(*dialog, choice, sorted);
    }
}

TEST(PictureChooser, OffersTheSevenChoicesUnderTheirOwnDescriptions) {
    const auto dialog = CreatePictureFileDialog(QString(), nullptr);
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    QStringList shown;
    for (int i = 0; i < types->count(); ++i) {
        shown << types->itemText(i);
    }
    EXPECT_EQ(shown,
              QStringList({"所有图片文件", "BMP (*.BMP)", "PNG (*.PNG)", "GIF (*.GIF)",
                           "TIFF (*.TIF;*.TIFF)", "JPEG (*.JPG;*.JPEG;*.JPE;*.JFIF)", "所有文件"}));
    EXPECT_EQ(types->currentIndex(), 0);
}

TEST(PictureChooser, StartsAtTheCurrentFileOnlyWhenItOpens) {
    TempTree tree;
    const QString photo = tree.WriteFile(QStringLiteral("sub/photo.jpg"));
    const auto preset = CreatePictureFileDialog(photo, nullptr);
    EXPECT_EQ(QDir::toNativeSeparators(preset->directory().absolutePath()),
              tree.Path(QStringLiteral("sub")));
    EXPECT_EQ(preset->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(),
              QStringLiteral("photo.jpg"));
    // Without a usable path the dialog starts where Qt puts it, with no name filled in.
    for (const QString& unusable :
         {QString(), tree.Path(QStringLiteral("sub")), tree.Path(QStringLiteral("sub/gone.jpg"))}) {
        const auto plain = CreatePictureFileDialog(unusable, nullptr);
        EXPECT_TRUE(plain->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text().isEmpty());
    }
}

TEST(PictureChooser, OkGivesTheFileAndCancelNothing) {
    TempTree tree;
    const QString photo = tree.WriteFile(QStringLiteral("photo.jpg"));
    // accept() is the dialog's own slot, which takes the name in its box as the Open button does.
    WhenModalShows<QFileDialog>(
        [](QFileDialog& dialog) { QMetaObject::invokeMethod(&dialog, "accept"); });
    EXPECT_EQ(ChoosePictureFile(photo), photo);
    WhenModalShows<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(ChoosePictureFile(photo), QString());
}

}  // namespace
}  // namespace corvane
