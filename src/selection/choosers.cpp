#include "selection/choosers.h"

#include "choice_rules.h"
#include "platform/file_system.h"
#include "selection/folder_picker_dialog.h"

namespace corvane {
namespace {

// Room reserved in each working list, so that rebuilding it at every selection change does not
// reallocate.
constexpr size_t kWorkingListRoom = 65535;

}  // namespace

QString ExistingOrRootFolder(const QString& path) {
    return PathExists(path) ? path : RootFolder();
}

QString ChooseSingleFolder(const QString& initialPath, ProfileStore& profile, QWidget* parent) {
    CFolderPickerDialog dialog(CFolderPickerDialog::Mode::Single, initialPath, profile, parent);
    dialog.SetTitle(QStringLiteral("选择单个文件夹"));
    dialog.UseViewMode(0);
    const bool chosen = dialog.exec() == QDialog::Accepted;
    return SingleFolderResult(chosen ? dialog.ChosenPath() : initialPath);
}

void ChooseFilesAndFolders(PathList* files, PathList* folders, QString& lastMultiSelectFolder,
                           const QString& sourcePathText, ProfileStore& profile, QWidget* parent) {
    if (files == nullptr || folders == nullptr) {
        return;
    }
    CFolderPickerDialog dialog(CFolderPickerDialog::Mode::Multi,
                               MultiSelectStartFolder(lastMultiSelectFolder, sourcePathText),
                               profile, parent);
    dialog.SetTitle(QStringLiteral("选择多个文件和文件夹"));
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
