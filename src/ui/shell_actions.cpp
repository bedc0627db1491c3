#include "ui/shell_actions.h"

#include "platform/file_system.h"
#include "platform/path_text.h"

#include <QAbstractButton>
#include <QPointer>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#else
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#endif

namespace corvane {

ExplorerRequest PlanExplorerRequest(const QString& pathText, OpenWhich which,
                                    const std::function<bool(const QString&)>& exists) {
    using Kind = ExplorerRequest::Kind;
    const QString path = CollapseFolderPath(TrimUnlessExisting(pathText, exists));
    if (exists(path)) {
        return {which == OpenWhich::Parent ? Kind::ShowItem : Kind::ShowFolder, path};
    }
    if (which == OpenWhich::Current) {
        return {};
    }
    const QString parent = FolderPart(path.chopped(1));
    if (parent.isEmpty()) {
        return {};
    }
    return {Kind::ShowFolder, parent};
}

ExplorerRequest PlanExplorerRequest(const QString& pathText, OpenWhich which) {
    return PlanExplorerRequest(pathText, which, [](const QString& p) { return PathExists(p); });
}

QString ExplorerParameters(const ExplorerRequest& request) {
    switch (request.kind) {
        case ExplorerRequest::Kind::ShowItem:
            return QStringLiteral("/e,/select,\"%1\"").arg(request.path);
        case ExplorerRequest::Kind::ShowFolder:
            return QStringLiteral("/e,\"%1\"").arg(request.path);
        case ExplorerRequest::Kind::Nothing:
            break;
    }
    return {};
}

#ifdef _WIN32

void ShowInFileManager(const ExplorerRequest& request, std::function<void(bool shown)> done, int) {
    bool shown = true;
    if (request.kind != ExplorerRequest::Kind::Nothing) {
        const std::wstring parameters = ExplorerParameters(request).toStdWString();
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", L"explorer.exe", parameters.c_str(), nullptr, SW_SHOW));
        shown = result > 32;
    }
    done(shown);
}

#else

namespace {

QString AbsoluteClean(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool OpenFolderDirectly(const ExplorerRequest& request) {
    const QString target = AbsoluteClean(request.path);
    const QString folder =
        request.kind == ExplorerRequest::Kind::ShowItem ? QFileInfo(target).absolutePath() : target;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace

void ShowInFileManager(const ExplorerRequest& request, std::function<void(bool shown)> done,
                       int timeoutMs) {
    if (request.kind == ExplorerRequest::Kind::Nothing) {
        done(true);
        return;
    }
    const bool item = request.kind == ExplorerRequest::Kind::ShowItem;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"),
        item ? QStringLiteral("ShowItems") : QStringLiteral("ShowFolders"));
    const QString uri =
        QUrl::fromLocalFile(AbsoluteClean(request.path)).toString(QUrl::FullyEncoded);
    call << QStringList{uri} << QString();
    // Asynchronous, so that a slow file manager does not freeze the window.
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, timeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [watcher, request, done = std::move(done)] {
                         const bool shown = !watcher->isError() || OpenFolderDirectly(request);
                         watcher->deleteLater();
                         done(shown);
                     });
}

#endif

void OpenInExplorer(const QString& pathText, QAbstractButton* button, OpenWhich which,
                    std::function<void(bool shown)> finished) {
    button->setEnabled(false);
    ShowInFileManager(PlanExplorerRequest(pathText, which),
                      [guard = QPointer(button), finished = std::move(finished)](bool shown) {
                          if (guard) {
                              guard->setEnabled(true);
                          }
                          if (finished) {
                              finished(shown);
                          }
                      });
}

}  // namespace corvane
