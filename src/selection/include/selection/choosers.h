#pragma once
// What the main window calls to choose its sources and its watermark picture. Each call shows a
// modal dialog and applies its answer when it closes. `profile` is the application's profile
// (ProfileStore::DefaultPath()), kept by the window for as long as it runs.
//
//   source and save "选择..." buttons (Cancel leaves the box as it was):
//       if (auto folder = ChooseSingleFolder(ChooserStartFolder(box->text()), profile, this))
//           box->setText(*folder);
//   "添加" (creating MultiSelectFiles / MultiSelectFolders first when absent):
//       ChooseFilesAndFolders(files.get(), folders.get(), lastMultiSelectFolder,
//                             sourceBox->text(), profile, this);
//   watermark picture "选择...":
//       const QString picture = ChoosePictureFile(box->text(), this);
//       if (!picture.isEmpty()) box->setText(picture);

#include "engine/enumeration.h"

#include <QString>

#include <optional>

class QWidget;

namespace corvane {

class ProfileStore;

// Where a picker opens for a typed path: the path (blanks kept when they are part of a name)
// when something exists there, else the nearest folder above it that exists, else the root. A
// typo or a folder not made yet thus opens close to what was meant.
QString ChooserStartFolder(const QString& typedPath);

// The folder picker in single mode, titled "选择单个文件夹". Returns the chosen folder, resolved
// (shortcuts) and normalized: ending with one separator; nothing on Cancel.
std::optional<QString> ChooseSingleFolder(const QString& initialPath, ProfileStore& profile,
                                          QWidget* parent = nullptr);

// The folder picker in multi mode, titled "选择多个文件和文件夹", opened at lastMultiSelectFolder
// (else at the source path text; ChooserStartFolder). On OK the marked files and folders are
// appended to the two lists (shortcuts become their targets, in the folder list) and
// lastMultiSelectFolder moves to where the selection ended; with nothing marked, the folder shown
// is added itself. Cancel changes nothing. Nothing happens when either list is absent.
void ChooseFilesAndFolders(PathList* files, PathList* folders, QString& lastMultiSelectFolder,
                           const QString& sourcePathText, ProfileStore& profile,
                           QWidget* parent = nullptr);

// The file dialog "请选择一个图片" with the picture filters, opened at the current path when that
// file can be opened. Returns the chosen file, or "" on Cancel.
QString ChoosePictureFile(const QString& currentPath, QWidget* parent = nullptr);

// A regular file at this path can be opened for reading (a folder cannot).
bool FileCanBeOpened(const QString& path);

}  // namespace corvane
