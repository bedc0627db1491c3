#include "platform/atomic_file.h"

#include "anchored_path.h"
#include "platform/native_names.h"
#include "platform/path_text.h"

#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

namespace corvane {
namespace {

constexpr std::string_view kTemporaryPrefix = ".cvn-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryDigits = 16;

// The named temporaries in use, for RemovePendingTemporaries(): a fixed table that a signal
// handler can read without locks or allocation. `folder` is -1 for a free slot and -2 while a
// slot is being filled.
struct PendingTemporary {
    std::atomic<int> folder{-1};
    char name[kTemporaryPrefix.size() + kTemporaryDigits + kTemporarySuffix.size() + 1] = {};
};
std::array<PendingTemporary, 64> pending;

// -1 when the table is full; such a file, if ever left behind, is still never a source file.
int Register(int folder, const QByteArray& name) {
    for (std::size_t i = 0; i < pending.size(); ++i) {
        int expected = -1;
        if (pending[i].folder.compare_exchange_strong(expected, -2)) {
            std::memcpy(pending[i].name, name.constData(), sizeof pending[i].name);
            pending[i].folder.store(folder, std::memory_order_release);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void Unregister(int& slot) {
    if (slot >= 0) {
        pending[static_cast<std::size_t>(slot)].folder.store(-1, std::memory_order_release);
        slot = -1;
    }
}

QByteArray TemporaryName() {
    return QByteArray(kTemporaryPrefix.data(), kTemporaryPrefix.size()) +
           QByteArray::number(QRandomGenerator::global()->generate64(), 16)
               .rightJustified(kTemporaryDigits, '0') +
           QByteArray(kTemporarySuffix.data(), kTemporarySuffix.size());
}

// Unnamed files are linked in through /proc; without it (some containers) named ones are used.
bool CanLinkUnnamedFiles() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

bool LinkUnnamed(int fd, int folder, const char* name) {
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, link, folder, name, AT_SYMLINK_FOLLOW) == 0;
}

bool UnnamedUnsupported(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

}  // namespace

AtomicFile::AtomicFile(QString target, IfExists ifExists, Temporary temporary)
    : target_(std::move(target)), ifExists_(ifExists), temporary_(temporary) {}

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::Fail(int error, WriteOutcome::Kind kind) {
    Discard();
    outcome_ = {kind, SystemErrorText(error)};
    return false;
}

bool AtomicFile::Open() {
    Discard();
    outcome_ = {};
    const QString folder = FolderPart(target_);
    leaf_ = EncodeNativeName(FileNamePart(target_));
    const AnchoredPath anchored(folder.isEmpty() ? QStringLiteral(".") : folder);
    folder_ = anchored.Ok()
                  ? ::openat(anchored.Folder(), anchored.Name(), O_PATH | O_DIRECTORY | O_CLOEXEC)
                  : -1;
    if (folder_ < 0) {
        return Fail(errno);
    }
    if (temporary_ == Temporary::Unnamed && CanLinkUnnamedFiles()) {
        fd_ = ::openat(folder_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd_ < 0 && !UnnamedUnsupported(errno)) {
            return Fail(errno);
        }
    }
    if (fd_ < 0 && !OpenNamed()) {
        return false;
    }
    file_ = std::make_unique<QFile>();
    if (!file_->open(fd_, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
        return Fail(EBADF);
    }
    return true;
}

bool AtomicFile::OpenNamed() {
    return NameTemporarily([this](const char* name) {
        fd_ = ::openat(folder_, name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return fd_ >= 0;
    });
}

bool AtomicFile::NameTemporarily(const std::function<bool(const char*)>& make) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = TemporaryName();
        // Registered first, so that a signal ending the process right after the name appears
        // still finds it.
        registration_ = Register(folder_, name);
        if (make(name.constData())) {
            named_ = name;
            return true;
        }
        const int error = errno;
        Unregister(registration_);
        if (error != EEXIST) {
            return Fail(error);
        }
    }
    return Fail(EEXIST);
}

bool AtomicFile::Commit() {
    if (!file_) {
        return outcome_.text.isEmpty() ? Fail(EBADF) : false;
    }
    const bool flushed = file_->flush() && file_->error() == QFileDevice::NoError;
    const QString error = file_->errorString();
    file_.reset();
    if (!flushed) {
        Discard();
        outcome_ = {WriteOutcome::Kind::Failed, error};
        return false;
    }
    if (!(named_.isEmpty() ? PublishUnnamed() : PublishNamed())) {
        return false;
    }
    Discard();
    outcome_ = {WriteOutcome::Kind::Written, {}};
    return true;
}

bool AtomicFile::PublishUnnamed() {
    if (LinkUnnamed(fd_, folder_, leaf_.constData())) {
        return true;
    }
    if (errno != EEXIST) {
        return Fail(errno);
    }
    if (ifExists_ == IfExists::Fail) {
        return Fail(EEXIST, WriteOutcome::Kind::NameTaken);
    }
    // Replacing: linked in under a temporary name first, then renamed over the existing file.
    return NameTemporarily([this](const char* name) { return LinkUnnamed(fd_, folder_, name); }) &&
           PublishNamed();
}

bool AtomicFile::PublishNamed() {
    const char* from = named_.constData();
    const char* to = leaf_.constData();
    if (ifExists_ == IfExists::Replace) {
        if (::renameat(folder_, from, folder_, to) != 0) {
            return Fail(errno);
        }
        ForgetNamed();
        return true;
    }
    if (::linkat(folder_, from, folder_, to, 0) == 0) {
        DropNamed();
        return true;
    }
    if (errno == EEXIST) {
        return Fail(EEXIST, WriteOutcome::Kind::NameTaken);
    }
    // A file system without hard links: a rename that refuses to replace, where it has one.
    if (::renameat2(folder_, from, folder_, to, RENAME_NOREPLACE) == 0) {
        ForgetNamed();
        return true;
    }
    if (errno == EEXIST) {
        return Fail(EEXIST, WriteOutcome::Kind::NameTaken);
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return Fail(errno);
    }
    // Neither: look, then rename. Only another program writing the same name at that very
    // moment could still be replaced.
    struct stat st {};
    if (::fstatat(folder_, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        return Fail(EEXIST, WriteOutcome::Kind::NameTaken);
    }
    if (::renameat(folder_, from, folder_, to) != 0) {
        return Fail(errno);
    }
    ForgetNamed();
    return true;
}

void AtomicFile::ForgetNamed() {
    named_.clear();
    Unregister(registration_);
}

void AtomicFile::DropNamed() {
    if (!named_.isEmpty()) {
        ::unlinkat(folder_, named_.constData(), 0);
    }
    ForgetNamed();
}

void AtomicFile::Discard() {
    file_.reset();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    DropNamed();
    if (folder_ >= 0) {
        ::close(folder_);
        folder_ = -1;
    }
}

bool IsTemporaryName(std::string_view nativeName) {
    constexpr std::size_t length =
        kTemporaryPrefix.size() + kTemporaryDigits + kTemporarySuffix.size();
    if (nativeName.size() != length || !nativeName.starts_with(kTemporaryPrefix) ||
        !nativeName.ends_with(kTemporarySuffix)) {
        return false;
    }
    const std::string_view digits = nativeName.substr(kTemporaryPrefix.size(), kTemporaryDigits);
    return digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

void RemovePendingTemporaries() {
    for (PendingTemporary& slot : pending) {
        const int folder = slot.folder.load(std::memory_order_acquire);
        if (folder >= 0) {
            ::unlinkat(folder, slot.name, 0);
        }
    }
}

}  // namespace corvane
