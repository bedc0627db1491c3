#pragma once
// The choosers behind the main window's browse and Add buttons. The window is given them, so
// that tests can answer in place of the modal dialogs.

#include "engine/enumeration.h"

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace corvane {

struct WindowChoosers {
    // The folder picker opened at `start` (an existing folder): the chosen folder, ending with one
    // separator, or nothing when cancelled.
    std::function<std::optional<QString>(const QString& start, QWidget* parent)> chooseFolder;
    // Appends the files and folders chosen to the two lists; `sourceText` is the source field.
    std::function<void(PathList& files, PathList& folders, const QString& sourceText,
                       QWidget* parent)>
        chooseFilesAndFolders;
    // The chosen picture, or "" when cancelled.
    std::function<QString(const QString& current, QWidget* parent)> choosePicture;
};

// The selection library's dialogs: the folder picker keeps its history and view in the profile
// at `profilePath` (opened at the first use) and remembers where the last multi selection ended.
WindowChoosers SelectionChoosers(const QString& profilePath);

}  // namespace corvane
