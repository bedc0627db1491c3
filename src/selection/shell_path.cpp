#include "selection/shell_path.h"

#include "path_blanks.h"
#include "platform/file_system.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#ifdef _WIN32
#include <windows.h>
#endif

namespace corvane {
namespace {

#ifdef _WIN32
constexpr bool kWindowsShell = true;
#else
constexpr bool kWindowsShell = false;
// A shortcut is a few hundred bytes; anything far larger is not one and is not read whole.
constexpr qint64 kMaxDesktopEntryBytes = 64 * 1024;
#endif

// An existing file that the shell would treat as a shortcut. On Windows: the archive attribute
// alone, so a read-only or otherwise marked link is left as it is.
bool IsShortcutFile(const QString& path) {
    const QString suffix = ShortcutSuffix();
    if (path.size() <= suffix.size() || !path.endsWith(suffix)) {
        return false;
    }
#ifdef _WIN32
    const DWORD attributes = ::GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()));
    return attributes == FILE_ATTRIBUTE_ARCHIVE;
#else
    return IsRegularFile(path);
#endif
}

// `tail`, found at `index`, is the end of the path.
bool EndsWithAt(const QString& path, const QString& tail, qsizetype index) {
    return index >= 0 && index + tail.size() == path.size();
}

// The "…\图片" rule of Vista and later: only below "X:\Users\", only as the path's end.
ShellResolution PicturesFolderName(const QString& path) {
    if (path.indexOf(QStringLiteral(":\\Users\\")) != 1) {
        return {};
    }
    for (const QString& localized : {QStringLiteral("\\图片"), QStringLiteral("\\我的图片")}) {
        const qsizetype at = path.indexOf(localized);
        if (at >= 9 && EndsWithAt(path, localized, at)) {
            return {true, path.left(at) + QStringLiteral("\\Pictures")};
        }
    }
    return {};
}

#ifndef _WIN32
// Desktop entry string values escape a few characters with a backslash.
QString UnescapeDesktopValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out.append(value[i]);
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
            case u's':
                out.append(u' ');
                break;
            case u'n':
                out.append(u'\n');
                break;
            case u't':
                out.append(u'\t');
                break;
            case u'r':
                out.append(u'\r');
                break;
            default:
                out.append(next);
                break;
        }
    }
    return out;
}

struct DesktopEntry {
    bool found = false;
    QString type;
    QString url;
};

// The "Type" and "URL" keys of the [Desktop Entry] group.
DesktopEntry ReadDesktopEntry(const QByteArray& bytes) {
    DesktopEntry entry;
    bool inGroup = false;
    for (const QByteArray& rawLine : bytes.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line == QStringLiteral("[Desktop Entry]");
            entry.found = entry.found || inGroup;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inGroup || line.startsWith(u'#') || equals < 0) {
            continue;
        }
        const QString key = line.left(equals).trimmed();
        const QString value = UnescapeDesktopValue(line.mid(equals + 1).trimmed());
        if (key == QStringLiteral("Type")) {
            entry.type = value;
        } else if (key == QStringLiteral("URL")) {
            entry.url = value;
        }
    }
    return entry;
}

// A local file URL, or an absolute path written as it is; anything else names no file.
QString LocalTarget(const QString& url) {
    if (url.startsWith(u'/')) {
        return url;
    }
    const QUrl parsed(url);
    return parsed.isLocalFile() ? QDir::toNativeSeparators(parsed.toLocalFile()) : QString();
}
#endif

}  // namespace

QString ShortcutSuffix() {
    return kWindowsShell ? QStringLiteral(".lnk") : QStringLiteral(".desktop");
}

ShellResolution ResolveShellPath(const QString& path) {
    const QString p = TrimBlanks(path);
    if (p.isEmpty()) {
        return {};
    }
    if (IsShortcutFile(p)) {
        return ResolveShortcut(p);
    }
    if (PathExists(p)) {
        return {};
    }
    if (kWindowsShell) {
        const ShellResolution byName = ResolveWindowsDisplayName(p, true);
        if (byName.resolved) {
            return byName;
        }
    }
    return ResolveShortcut(p + ShortcutSuffix());
}

ShellResolution ResolveShortcut(const QString& shortcutFile) {
#ifdef _WIN32
    // Qt reads shell links itself (IShellLink underneath).
    const QFileInfo info(shortcutFile);
    if (!info.isShortcut()) {
        return {};
    }
    return {true, QDir::toNativeSeparators(info.symLinkTarget())};
#else
    QFile file(shortcutFile);
    if (!IsRegularFile(shortcutFile) || !file.open(QIODevice::ReadOnly) ||
        file.size() > kMaxDesktopEntryBytes) {
        return {};
    }
    const DesktopEntry entry = ReadDesktopEntry(file.readAll());
    if (!entry.found || entry.type != QStringLiteral("Link")) {
        return {};
    }
    return {true, LocalTarget(entry.url)};
#endif
}

ShellResolution ResolveWindowsDisplayName(const QString& path, bool vistaOrLater) {
    if (vistaOrLater) {
        const ShellResolution pictures = PicturesFolderName(path);
        if (pictures.resolved) {
            return pictures;
        }
    }
    const QString oldPictures = QStringLiteral("My Documents\\图片收藏");
    if (path.endsWith(oldPictures)) {
        return {true,
                path.chopped(oldPictures.size()) + QStringLiteral("My Documents\\My Pictures")};
    }
    const qsizetype n = path.size();
    if (n >= 4 && path[n - 1] == u')' && path[n - 2] == u':' && path[n - 4] == u'(') {
        return {true, path[n - 3] + QStringLiteral(":\\")};
    }
    return {};
}

}  // namespace corvane
