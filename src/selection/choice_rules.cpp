#include "choice_rules.h"

#include "path_blanks.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "selection/choosers.h"
#include "selection/shell_path.h"

#include <QDir>

namespace corvane {
namespace {

// Resolution pass: shortcuts leave the file list, their targets join the folder list. A shortcut
// whose target is no file-system path stays a file: an empty folder entry would name nothing.
void MoveShortcutTargets(PathList& files, PathList& folders) {
    PathList kept;
    kept.reserve(files.size());
    for (QString& file : files) {
        const ShellResolution target = ResolveShellPath(file);
        if (target.resolved && !target.path.isEmpty()) {
            folders.push_back(target.path);
        } else {
            kept.push_back(std::move(file));
        }
    }
    files = std::move(kept);
}

}  // namespace

QString RootFolder() {
    return QDir::toNativeSeparators(QDir::rootPath());
}

QString MultiSelectStartFolder(const QString& lastMultiSelectFolder, const QString& sourceText) {
    return ChooserStartFolder(!lastMultiSelectFolder.isEmpty() ? lastMultiSelectFolder
                                                               : sourceText);
}

void RebuildWorkingLists(const QString& folder, const std::vector<QString>& selectedNames,
                         PathList& files, PathList& folders) {
    files.clear();
    folders.clear();
    const QString base = WithTrailingSeparator(TrimBlanks(folder));
    for (const QString& name : selectedNames) {
        QString path = base + name;
        (IsDirectory(path) ? folders : files).push_back(std::move(path));
    }
}

void ApplyMultiSelection(PathList& workingFiles, PathList& workingFolders,
                         const QString& chosenPath, PathList& files, PathList& folders,
                         QString& lastMultiSelectFolder) {
    bool picked = false;
    if (!workingFiles.empty()) {
        picked = true;
        MoveShortcutTargets(workingFiles, workingFolders);
        AppendPaths(&files, &workingFiles);
    }
    if (!workingFolders.empty()) {
        picked = true;
        AppendPaths(&folders, &workingFolders);
    }
    workingFiles.clear();
    workingFolders.clear();

    QString ended = TrimBlanks(chosenPath);
    const ShellResolution resolved = ResolveShellPath(ended);
    if (resolved.resolved) {
        ended = resolved.path;
    } else if (!picked && ended.endsWith(ShortcutSuffix())) {
        ended = FolderPart(ended);
    }
    if (PathExists(ended)) {
        lastMultiSelectFolder = ended;
        if (!picked) {
            folders.push_back(ended);
        }
    }
}

QString SingleFolderResult(const QString& candidate) {
    QString folder = TrimBlanks(candidate);
    // A shortcut to no file-system path gives no folder; the candidate is kept then.
    const ShellResolution resolved = ResolveShellPath(folder);
    if (resolved.resolved && !resolved.path.isEmpty()) {
        folder = resolved.path;
    }
    return NormalizeFolderPath(WithTrailingSeparator(TrimBlanks(folder)));
}

}  // namespace corvane
