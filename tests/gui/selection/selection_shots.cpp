// Screenshots of the selection dialogs, for docs/: the folder picker in single and multi mode (and
// the multi mode in the details view) and the picture chooser, each on a prepared folder.
// Usage: selection_shots OUTPUT_FOLDER (run under scripts/with-xvfb; see scripts/shoot-selection).
//        selection_shots --show single|multi: shows that picker until it is closed, for a look
//        through assistive technology (AT-SPI).
#include "selection/folder_picker_dialog.h"
#include "selection/profile_store.h"

#include "picker_views.h"
#include "picture_dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLibraryInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <cstdio>
#include <functional>

namespace {

using corvane::CFolderPickerDialog;

void WriteFile(const QString& path, const QByteArray& bytes = "x") {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
}

// A folder that looks like a user's pictures: sub-folders, photos, a note and a shortcut.
QString PrepareFolder(const QString& root) {
    const QString folder = root + QStringLiteral("/照片");
    for (const char16_t* sub : {u"旅行 2023", u"家庭聚会", u"扫描件", u"Work"}) {
        QDir().mkpath(folder + u'/' + QString::fromUtf16(sub));
    }
    for (int i = 1; i <= 9; ++i) {
        WriteFile(folder + QStringLiteral("/IMG_%1.JPG").arg(i, 4, 10, QChar(u'0')),
                  QByteArray(1500 * i, 'x'));
    }
    for (const char16_t* name : {u"风景 - 黄山.png", u"合影.jpg", u"logo.gif", u"说明.txt"}) {
        WriteFile(folder + u'/' + QString::fromUtf16(name), QByteArray(4000, 'x'));
    }
    WriteFile(folder + QStringLiteral("/相册.desktop"),
              "[Desktop Entry]\nType=Link\nURL=file://" + QFile::encodeName(root) + "\n");
    return folder;
}

void Grab(QWidget& widget, const QString& file) {
    if (!widget.grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    }
}

void ShootPicker(CFolderPickerDialog::Mode mode, const QString& folder,
                 corvane::ProfileStore& profile, const QString& file,
                 const std::function<void(CFolderPickerDialog&)>& act) {
    CFolderPickerDialog dialog(mode, folder, profile);
    dialog.SetTitle(mode == CFolderPickerDialog::Mode::Single
                        ? QStringLiteral("选择单个文件夹")
                        : QStringLiteral("选择多个文件和文件夹"));
    dialog.UseViewMode(0);
    QSignalSpy listed(&dialog, &CFolderPickerDialog::ListingFinished);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog) || (listed.isEmpty() && !listed.wait(5000))) {
        std::fprintf(stderr, "the dialog for %s did not show its folder\n", qPrintable(file));
    }
    act(dialog);
    Grab(dialog, file);
}

// Marks rows by Ctrl+click in the list on screen.
void CtrlClickRows(CFolderPickerDialog& dialog, std::initializer_list<int> rows) {
    QAbstractItemView* view = dialog.findChild<corvane::PickerViews*>()->CurrentView();
    for (const int row : rows) {
        const QRect rect = view->visualRect(view->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, rect.center());
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: selection_shots OUTPUT_FOLDER | --show single|multi\n");
        return 2;
    }
    const bool showOnly = qstrcmp(argv[1], "--show") == 0;
    const QString out = QString::fromLocal8Bit(argv[1]) + u'/';
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }

    QTemporaryDir root;
    const QString folder = PrepareFolder(root.path());
    corvane::ProfileStore profile(root.path() + QStringLiteral("/corvane.ini"));
    for (int i = 0; i < 3; ++i) {
        profile.WriteString(QStringLiteral("FolderHistory"),
                            QStringLiteral("Folder%1").arg(i, 4, 10, QChar(u'0')),
                            i == 0 ? folder : root.path());
    }

    if (showOnly) {
        CFolderPickerDialog dialog(argc > 2 && qstrcmp(argv[2], "multi") == 0
                                       ? CFolderPickerDialog::Mode::Multi
                                       : CFolderPickerDialog::Mode::Single,
                                   folder, profile);
        dialog.UseViewMode(0);
        return dialog.exec() == QDialog::Accepted ? 0 : 1;
    }
    ShootPicker(CFolderPickerDialog::Mode::Single, folder, profile,
                out + QStringLiteral("selection-single.png"),
                [](CFolderPickerDialog& dialog) { CtrlClickRows(dialog, {1}); });
    ShootPicker(CFolderPickerDialog::Mode::Multi, folder, profile,
                out + QStringLiteral("selection-multi.png"), [](CFolderPickerDialog& dialog) {
                    CtrlClickRows(dialog, {0, 4, 6, 12});
                });
    profile.WriteInt(QStringLiteral("FolderPickerDialog"), QStringLiteral("ViewMode"), 28747);
    ShootPicker(CFolderPickerDialog::Mode::Multi, folder, profile,
                out + QStringLiteral("selection-multi-details.png"),
                [](CFolderPickerDialog& dialog) {
                    CtrlClickRows(dialog, {5, 6});
                });

    const auto chooser =
        corvane::CreatePictureFileDialog(folder + QStringLiteral("/合影.jpg"), nullptr);
    chooser->show();
    // Its file list fills from a thread of its own and is sorted afterwards, folders first.
    auto* list = chooser->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    const auto sorted = [&] {
        const QModelIndex first = list->model()->index(0, 0, list->rootIndex());
        return list->model()->rowCount(list->rootIndex()) > 10 &&
               QFileInfo(first.data(QFileSystemModel::FilePathRole).toString()).isDir();
    };
    if (!QTest::qWaitForWindowExposed(chooser.get()) || !QTest::qWaitFor(sorted)) {
        std::fprintf(stderr, "the picture chooser did not show its folder\n");
    }
    Grab(*chooser, out + QStringLiteral("selection-picture.png"));
    return 0;
}
