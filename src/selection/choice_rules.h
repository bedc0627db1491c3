#pragma once
// The steps of the choosers that need no dialog: where a multi-selection starts, how its working
// lists are kept while the picker runs, what OK adds to the main window's lists, and how the
// single-folder result is cleaned. They touch the file system (existence tests, shortcuts) but no
// widget.

#include "engine/enumeration.h"

#include <QString>

#include <vector>

namespace corvane {

// The folder where a picker opens when the given one does not exist: the file-system root ("/",
// or the system drive on Windows).
QString RootFolder();

// Where the multi-selection opens: ChooserStartFolder of LastMultiSelectFolder when set, else of
// the source path text.
QString MultiSelectStartFolder(const QString& lastMultiSelectFolder, const QString& sourceText);

// Rebuilds both working lists from the selected names, in list order: folder + name goes to the
// folder list when it is an existing directory, to the file list otherwise.
void RebuildWorkingLists(const QString& folder, const std::vector<QString>& selectedNames,
                         PathList& files, PathList& folders);

// OK of the multi-mode picker. Shortcuts among the working files are resolved and move to the
// working folders (after the folders picked directly); the lists are appended to `files` and
// `folders`. The chosen path, resolved, becomes LastMultiSelectFolder when something exists
// there, and is itself added as a folder when nothing was picked. The working lists are consumed.
void ApplyMultiSelection(PathList& workingFiles, PathList& workingFolders,
                         const QString& chosenPath, PathList& files, PathList& folders,
                         QString& lastMultiSelectFolder);

// The folder ChooseSingleFolder returns for a candidate (the chosen path on OK, the initial path
// on Cancel): resolved, blanks trimmed, runs of separators collapsed, ending with one separator.
QString SingleFolderResult(const QString& candidate);

}  // namespace corvane
