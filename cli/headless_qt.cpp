#include "headless_qt.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvane {
namespace {

constexpr char kSingleRunPrefix[] = "corvane-runtime-";
constexpr std::size_t kSingleRunNameLength = sizeof kSingleRunPrefix - 1 + 6;  // "XXXXXX"

// A folder of ours for Qt's runtime files: made with mode 0700 if missing; taken only when it is
// a real folder (not a link someone planted) owned by this user and closed to everyone else.
bool UsablePrivateFolder(const QByteArray& path) {
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 0777) == 0700;
}

// Removes the empty single-run folders of earlier versions. Never follows a link and never
// touches a folder of another user; a folder that is not empty stays (rmdir leaves it).
void RemoveLeftFolders(const QByteArray& temporaryFolder) {
    DIR* dir = ::opendir(temporaryFolder.constData());
    if (dir == nullptr) {
        return;
    }
    const int folder = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strlen(name) != kSingleRunNameLength ||
            std::strncmp(name, kSingleRunPrefix, sizeof kSingleRunPrefix - 1) != 0) {
            continue;
        }
        struct stat st {};
        if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
            st.st_uid == ::geteuid()) {
            ::unlinkat(folder, name, AT_REMOVEDIR);
        }
    }
    ::closedir(dir);
}

}  // namespace

HeadlessQt::HeadlessQt() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        return;
    }
    const QByteArray temporary = QFile::encodeName(QDir::tempPath());
    RemoveLeftFolders(temporary);
    const QByteArray ours = temporary + "/corvane-runtime." + QByteArray::number(::geteuid());
    // Otherwise (someone else holds the name) Qt makes do without, and says so.
    if (UsablePrivateFolder(ours)) {
        qputenv("XDG_RUNTIME_DIR", ours);
    }
}

}  // namespace corvane
