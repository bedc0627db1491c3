#include "selection/choosers.h"

#include "choice_rules.h"
#include "platform/file_system.h"
#include "selection/folder_picker_dialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace corvane {
namespace {

// Room reserved in each working list, so that rebuilding it at every selection change does not
// reallocate.
constexpr size_t kWorkingListRoom = 65535;

}  // namespace

QString ChooserStartFolder(const QString& typedPath) {
    QString path = TrimUnlessExisting(typedPath);
    if (path.isEmpty()) {
        return RootFolder();
    }
    while (!PathExists(path)) {
        const QString above = QDir::toNativeSeparators(QFileInfo(path).path());
        if (above == path) {
            return RootFolder();
        }
        path = above;
    }
    return path;
}

// Cancel gives nothing: the caller's field keeps what was typed, even a path that does not exist
// yet, instead of the folder the picker happened to show.
std::optional<QString> ChooseSingleFolder(const QString& initialPath, ProfileStore& profile,
                                          QWidget* parent) {
    CFolderPickerDialog dialog(CFolderPickerDialog::Mode::Single, initialPath, profile, parent);
    dialog.SetTitle(QCoreApplication::translate("corvane", "选择单个文件夹"));
    dialog.UseViewMode(0);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return SingleFolderResult(dialog.ChosenPath());
}

void ChooseFilesAndFolders(PathList* files, PathList* folders, QString& lastMultiSelectFolder,
                           const QString& sourcePathText, ProfileStore& profile, QWidget* parent) {
    if (files == nullptr || folders == nullptr) {
        return;
    }
    CFolderPickerDialog dialog(CFolderPickerDialog::Mode::Multi,
                               MultiSelectStartFolder(lastMultiSelectFolder, sourcePathText),
                               profile, parent);
    dialog.SetTitle(QCoreApplication::translate("corvane", "选择多个文件和文件夹"));
    dialog.UseViewMode(0);
    PathList workingFiles;
    PathList workingFolders;
    workingFiles.reserve(kWorkingListRoom);
    workingFolders.reserve(kWorkingListRoom);
    dialog.AttachSelectionLists(&workingFiles, &workingFolders);
    if (dialog.exec() == QDialog::Accepted) {
        ApplyMultiSelection(workingFiles, workingFolders, dialog.ChosenPath(), *files, *folders,
                            lastMultiSelectFolder);
    }
}

}  // namespace corvane
