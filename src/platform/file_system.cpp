#include "platform/file_system.h"

#include "platform/path_text.h"

#include <QFile>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace corvane {
namespace {

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

bool WriteAll(int fd, const char* data, ssize_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool CopyContents(int from, int to) {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (!WriteAll(to, buffer, got)) {
            return false;
        }
    }
}

// Opens a new, uniquely named temporary file in `folder`. Short name, so that it fits wherever
// the target name fits.
int CreateTemporaryIn(const QString& folder, QByteArray& tempName) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            folder + QStringLiteral(".cvn-%1.tmp")
                         .arg(QRandomGenerator::global()->generate64(), 16, 16, QChar(u'0'));
        tempName = Native(name);
        const int fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Moves the finished temporary file to the target name unless something already has that name.
bool PublishNoReplace(const QByteArray& tempName, const QByteArray& target) {
    if (::link(tempName.constData(), target.constData()) == 0) {
        ::unlink(tempName.constData());
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    // File systems without hard links: check, then rename (the output folder is ours alone).
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0) {
        return false;
    }
    return ::rename(tempName.constData(), target.constData()) == 0;
}

}  // namespace

bool PathExists(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::lstat(Native(path).constData(), &st) == 0;
}

bool IsDirectory(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(Native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(Native(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool CreateDirectory(const QString& path) {
    return ::mkdir(Native(path).constData(), 0777) == 0 || (errno == EEXIST && IsDirectory(path));
}

bool CreateFolderChain(QString& path) {
#ifdef _WIN32
    path = ReplaceSecondDriveColon(path);
#endif
    path = NormalizeFolderPath(path.trimmed());
    for (qsizetype i = 1; i < path.size(); ++i) {
        if (path[i] != kSeparator) {
            continue;
        }
        const QString level = path.left(i);
        if (!level.isEmpty() && !PathExists(level) && !CreateDirectory(level)) {
            return false;
        }
    }
    return IsDirectory(path);
}

bool CopyFileAtomically(const QString& source, const QString& target, bool replaceExisting) {
    const QByteArray targetName = Native(target);
    struct stat st {};
    if (!replaceExisting && ::lstat(targetName.constData(), &st) == 0) {
        return false;
    }
    const int from = ::open(Native(source).constData(), O_RDONLY | O_CLOEXEC);
    if (from < 0) {
        return false;
    }
    QByteArray tempName;
    const int to = CreateTemporaryIn(FolderPart(target), tempName);
    bool ok = to >= 0 && ::fstat(from, &st) == 0 && CopyContents(from, to);
    if (to >= 0) {
        if (ok) {
            ::fchmod(to, st.st_mode & 07777);
            const struct timespec times[2] = {st.st_atim, st.st_mtim};
            ::futimens(to, times);
        }
        ok = ::close(to) == 0 && ok;
        ok = ok && (replaceExisting ? ::rename(tempName.constData(), targetName.constData()) == 0
                                    : PublishNoReplace(tempName, targetName));
        if (!ok) {
            ::unlink(tempName.constData());
        }
    }
    ::close(from);
    return ok;
}

bool IsHiddenName(const QString& fileName) {
    return fileName.startsWith(u'.');
}

QString DirectoryEntry::Name() const {
    return QFile::decodeName(
        QByteArray(nativeName.data(), static_cast<qsizetype>(nativeName.size())));
}

QString JoinPath(const QString& folder, std::string_view nativeName) {
    const bool ascii = std::all_of(nativeName.begin(), nativeName.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        return folder + QFile::decodeName(QByteArray(nativeName.data(),
                                                     static_cast<qsizetype>(nativeName.size())));
    }
    QString path(folder.size() + static_cast<qsizetype>(nativeName.size()), Qt::Uninitialized);
    QChar* out = std::copy(folder.cbegin(), folder.cend(), path.data());
    for (const char c : nativeName) {
        *out++ = QChar(static_cast<char16_t>(c));
    }
    return path;
}

DirectoryReader::DirectoryReader(const QString& folder) {
    DIR* dir = ::opendir(Native(folder).constData());
    if (dir == nullptr) {
        return;
    }
    struct stat st {};
    if (::fstat(::dirfd(dir), &st) != 0) {
        ::closedir(dir);
        return;
    }
    identity_ = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    handle_ = dir;
}

DirectoryReader::~DirectoryReader() {
    if (handle_ != nullptr) {
        ::closedir(static_cast<DIR*>(handle_));
    }
}

bool DirectoryReader::Next(DirectoryEntry& entry) {
    DIR* dir = static_cast<DIR*>(handle_);
    if (dir == nullptr) {
        return false;
    }
    for (;;) {
        const dirent* d = ::readdir(dir);
        if (d == nullptr) {
            return false;
        }
        const char* name = d->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        bool isDirectory = d->d_type == DT_DIR;
        if (d->d_type == DT_LNK || d->d_type == DT_UNKNOWN) {
            struct stat st {};
            isDirectory = ::fstatat(::dirfd(dir), name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        entry.nativeName = name;
        entry.isDirectory = isDirectory;
        return true;
    }
}

}  // namespace corvane
