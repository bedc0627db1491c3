#include "platform/file_system.h"

#include "anchored_path.h"
#include "platform/native_names.h"
#include "platform/path_text.h"

#include <QDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace corvane {
namespace {

bool StatAt(const QString& path, struct stat& st, int flags) {
    if (path.isEmpty()) {
        return false;
    }
    const AnchoredPath anchored(path);
    return anchored.Ok() && ::fstatat(anchored.Folder(), anchored.Name(), &st, flags) == 0;
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

WriteOutcome Copy(const QString& source, const QString& target, IfExists ifExists) {
    if (ifExists == IfExists::Fail && PathExists(target)) {
        return {WriteOutcome::Kind::NameTaken, SystemErrorText(EEXIST)};  // nothing to copy
    }
    QString error;
    const int from = OpenRegularFile(source, &error);
    if (from < 0) {
        return {WriteOutcome::Kind::Failed, error};
    }
    AtomicFile out(target, ifExists);
    struct stat st {};
    if (!out.Open()) {
        ::close(from);
        return out.Outcome();
    }
    if (::fstat(from, &st) != 0 || !CopyContents(from, out.Handle())) {
        const int copyError = errno;
        ::close(from);
        return {WriteOutcome::Kind::Failed, SystemErrorText(copyError)};
    }
    ::close(from);
    // Ordinary permission bits only: a copy made by root of someone's set-id file must not
    // become a set-id file of root's (nor keep a sticky bit).
    ::fchmod(out.Handle(), st.st_mode & 0777);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.Handle(), times);
    out.Commit();
    return out.Outcome();
}

}  // namespace

bool PathExists(const QString& path) {
    struct stat st {};
    return StatAt(path, st, AT_SYMLINK_NOFOLLOW);
}

bool IsDirectory(const QString& path) {
    struct stat st {};
    return StatAt(path, st, 0) && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const QString& path) {
    struct stat st {};
    return StatAt(path, st, 0) && S_ISREG(st.st_mode);
}

bool CreateDirectory(const QString& path) {
    const AnchoredPath anchored(path);
    return (anchored.Ok() && ::mkdirat(anchored.Folder(), anchored.Name(), 0777) == 0) ||
           (errno == EEXIST && IsDirectory(path));
}

QString TrimUnlessExisting(const QString& text, const std::function<bool(const QString&)>& exists) {
    const QString trimmed = text.trimmed();
    return trimmed.size() == text.size() || exists(text) ? text : trimmed;
}

QString TrimUnlessExisting(const QString& text) {
    return TrimUnlessExisting(text, [](const QString& path) { return PathExists(path); });
}

QString TypedFolderPath(const QString& text) {
    return CollapseFolderPath(TrimUnlessExisting(text));
}

QString FolderPathOf(const QString& text) {
    return text.trimmed().isEmpty() ? QString() : TypedFolderPath(text);
}

bool CreateFolderChain(QString& path) {
#ifdef _WIN32
    path = ReplaceSecondDriveColon(path);
#endif
    path = FolderPathOf(path);
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

bool CopyFileAtomically(const QString& source, const QString& target, IfExists ifExists,
                        WriteOutcome* outcome) {
    const WriteOutcome result = Copy(source, target, ifExists);
    if (outcome != nullptr) {
        *outcome = result;
    }
    return result.Written();
}

int OpenRegularFile(const QString& path, QString* error) {
    const AnchoredPath anchored(path);
    // Non-blocking, so that opening a pipe cannot wait for a writer; the check below refuses it.
    const int fd = anchored.Ok() ? ::openat(anchored.Folder(), anchored.Name(),
                                            O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)
                                 : -1;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        const int why = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        *error = SystemErrorText(why);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = QStringLiteral("not a regular file");
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool OpenRegularFile(const QString& path, QFile& file, QString* error) {
    const int fd = OpenRegularFile(path, error);
    return fd >= 0 && AdoptDescriptor(file, fd, error);
}

bool AdoptDescriptor(QFile& file, int fd, QString* error) {
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        return true;
    }
    ::close(fd);
    *error = file.errorString();
    return false;
}

QString AbsolutePath(const QString& path) {
    if (path.startsWith(kSeparator)) {
        return QDir::cleanPath(path);
    }
    QByteArray current(PATH_MAX, '\0');
    while (::getcwd(current.data(), static_cast<size_t>(current.size())) == nullptr &&
           errno == ERANGE) {
        current.resize(current.size() * 2);
    }
    return QDir::cleanPath(DecodeNativeName(current.constData()) + kSeparator + path);
}

bool IsHiddenName(const QString& fileName) {
    return fileName.startsWith(u'.');
}

std::optional<FolderIdentity> IdentityOf(const QString& path) {
    struct stat st {};
    if (!StatAt(path, st, 0) || !S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    return FolderIdentity{static_cast<std::uint64_t>(st.st_dev),
                          static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<QString> CanonicalPath(const QString& path) {
    char* resolved = ::realpath(EncodeNativeName(path).constData(), nullptr);
    if (resolved == nullptr) {
        return std::nullopt;
    }
    const QString canonical = DecodeNativeName(std::string_view(resolved));
    std::free(resolved);
    return canonical;
}

std::optional<qint64> EntrySize(const QString& path) {
    struct stat st {};
    if (!StatAt(path, st, AT_SYMLINK_NOFOLLOW)) {
        return std::nullopt;
    }
    return static_cast<qint64>(st.st_size);
}

std::optional<FileIdentity> IdentityOfFile(const QString& path) {
    struct stat st {};
    if (!StatAt(path, st, 0)) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino)};
}

QString DirectoryEntry::Name() const {
    return DecodeNativeName(nativeName);
}

QString JoinPath(const QString& folder, std::string_view nativeName) {
    const bool ascii = std::all_of(nativeName.begin(), nativeName.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        return folder + DecodeNativeName(nativeName);
    }
    QString path(folder.size() + static_cast<qsizetype>(nativeName.size()), Qt::Uninitialized);
    QChar* out = std::copy(folder.cbegin(), folder.cend(), path.data());
    for (const char c : nativeName) {
        *out++ = QChar(static_cast<char16_t>(c));
    }
    return path;
}

DirectoryReader::DirectoryReader(const QString& folder) {
    const AnchoredPath anchored(folder);
    const int fd = anchored.Ok() ? ::openat(anchored.Folder(), anchored.Name(),
                                            O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                 : -1;
    if (fd < 0) {
        const int why = errno;
        missing_ = why == ENOENT || why == ENOTDIR;
        error_ = SystemErrorText(why);
        return;
    }
    struct stat st {};
    DIR* dir = ::fstat(fd, &st) == 0 ? ::fdopendir(fd) : nullptr;
    if (dir == nullptr) {
        error_ = SystemErrorText(errno);
        ::close(fd);
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
