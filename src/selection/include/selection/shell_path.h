#pragma once
// Mapping what the picker shows back to real paths. The picker builds a path from its current
// folder and an item's text; for a few kinds of item that names nothing usable on disk, and
// ResolveShellPath gives the path meant instead.
//
// A shortcut is, on Windows, a ".lnk" shell link and, on Linux, a desktop entry of Type=Link
// ("name.desktop") whose URL is a local file. Symbolic links need no resolution: the file system
// follows them. The other Windows display names (localized picture folders, "label (C:)" drives)
// are matched by text in ResolveWindowsDisplayName, which is applied on Windows only.
//
// Nothing here reports failure: an unresolved answer means "keep your own path".

#include <QString>

namespace corvane {

struct ShellResolution {
    bool resolved = false;
    // Empty when not resolved. A resolved shortcut may give an empty path: its target is nothing
    // on the file system (a web address, a virtual folder).
    QString path;
};

// The file-name suffix of a shortcut: ".lnk" on Windows, ".desktop" elsewhere.
QString ShortcutSuffix();

// Blanks at both ends are removed first. An existing shortcut file gives its target; any other
// existing file or folder is not resolved. A path at which nothing exists is tried as a Windows
// display name, then as a shortcut shown without its suffix. No result is tested for existence.
ShellResolution ResolveShellPath(const QString& path);

// Resolved as soon as the file is a readable shortcut; the path is then its stored target.
ShellResolution ResolveShortcut(const QString& shortcutFile);

// The Windows shell's names for things that exist under another name, by text alone (paths with
// backslashes; every test exact and case-sensitive):
// - Vista and later: "X:\Users\…\图片" or "…\我的图片" at the end, after index 8, is the
//   "…\Pictures" folder;
// - "…My Documents\图片收藏" is "…My Documents\My Pictures";
// - a name ending in a drive in parentheses, "本地磁盘 (E:)", is that drive's root, "E:\".
ShellResolution ResolveWindowsDisplayName(const QString& path, bool vistaOrLater);

}  // namespace corvane
