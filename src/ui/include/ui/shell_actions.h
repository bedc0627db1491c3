#pragma once
// The "打开当前" and "打开上层" buttons: show a folder, or an item selected in its parent folder,
// in the desktop's file manager. On Linux through org.freedesktop.FileManager1 on the session
// bus, falling back to opening the folder with QDesktopServices when no file manager answers;
// on Windows through explorer.exe. When nothing can show the folder at all (no file manager and no
// handler for folders), the caller is told, so that the window can say so.

#include "engine/translated_text.h"

#include <QString>

#include <functional>

class QAbstractButton;

namespace corvane {

enum class OpenWhich { Current, Parent };

struct ExplorerRequest {
    enum class Kind { Nothing, ShowFolder, ShowItem };
    Kind kind = Kind::Nothing;
    QString path;  // a folder path, ending with one separator
    friend bool operator==(const ExplorerRequest&, const ExplorerRequest&) = default;
};

// What a button asks for, given the path field's text (normalised first):
// - current: the folder when something exists at the path, else nothing;
// - parent: the item selected in its parent when something exists at the path, else the
//   path's parent folder (nothing when it has none).
ExplorerRequest PlanExplorerRequest(const QString& pathText, OpenWhich which,
                                    const std::function<bool(const QString&)>& exists);
ExplorerRequest PlanExplorerRequest(const QString& pathText, OpenWhich which);

// The parameters of explorer.exe: /e,"path" or /e,/select,"path".
QString ExplorerParameters(const ExplorerRequest& request);

// How long the file manager may take to answer before the folder is opened directly.
inline constexpr int kFileManagerTimeoutMs = 10000;

// What the window says when nothing could show a folder.
inline constexpr TranslatedText kNoFileManager{
    QT_TRANSLATE_NOOP("corvane", "无法打开文件夹：没有找到可以显示文件夹的文件管理器。")};

// Starts the request; `done` runs on this thread once it has been handed over, also when it fell
// back, with false when nothing at all could show it (a request for nothing is no failure).
void ShowInFileManager(const ExplorerRequest& request, std::function<void(bool shown)> done,
                       int timeoutMs = kFileManagerTimeoutMs);

// The buttons' handler: disables `button` while the call is made, then enables it again and runs
// `finished` (with ShowInFileManager's answer).
void OpenInExplorer(const QString& pathText, QAbstractButton* button, OpenWhich which,
                    std::function<void(bool shown)> finished = {});

}  // namespace corvane
