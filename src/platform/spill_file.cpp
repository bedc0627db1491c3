#include "platform/spill_file.h"

#include "anchored_path.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

namespace corvane {
namespace {

// Bytes moved per call when the copy goes through this process.
constexpr qint64 kCopyStep = qint64(1) << 20;
// Spill files open at once, at most: each holds a descriptor, and a run with many workers must
// keep enough for its sources and outputs. Beyond it, bytes stay in memory.
constexpr int kMostOpen = 256;
std::atomic<int> openSpills{0};

}  // namespace

std::unique_ptr<SpillFile> SpillFile::Create(const QString& folder) {
    if (openSpills.fetch_add(1) >= kMostOpen) {
        openSpills.fetch_sub(1);
        return nullptr;
    }
    std::unique_ptr<SpillFile> spill(new SpillFile(Open(folder)));
    if (!spill->file_.isOpen()) {
        return nullptr;
    }
    return spill;
}

int SpillFile::Open(const QString& folder) {
    const AnchoredPath anchored(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (!anchored.Ok()) {
        return -1;
    }
    const int directory =
        ::openat(anchored.Folder(), anchored.Name(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) {
        return -1;
    }
    const int fd = ::openat(directory, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    ::close(directory);
    return fd;
}

SpillFile::SpillFile(int fd) : fd_(fd) {
    if (fd_ >= 0) {
        file_.open(fd_, QIODevice::ReadWrite, QFileDevice::DontCloseHandle);
    }
}

SpillFile::~SpillFile() {
    file_.close();
    if (fd_ >= 0) {
        ::close(fd_);
    }
    openSpills.fetch_sub(1);
}

bool SpillFile::CopyTo(QIODevice* out) {
    if (!file_.flush() || !out->isWritable()) {
        return false;
    }
    qint64 copied = 0;
    if (auto* target = qobject_cast<QFile*>(out); target != nullptr && target->handle() >= 0) {
        copied = target->flush() ? CopyWithinKernel(target->handle()) : -1;
    }
    // The rest (all of it where `out` is no file, or the kernel cannot copy between the two)
    // through this process. A failure is said by the caller's probe of `out`, in the system's
    // words.
    if (copied < 0 || !file_.seek(copied)) {
        return false;
    }
    std::vector<char> buffer(static_cast<std::size_t>(kCopyStep));
    for (;;) {
        const qint64 read = file_.read(buffer.data(), kCopyStep);
        if (read <= 0) {
            return read == 0;
        }
        if (out->write(buffer.data(), read) != read) {
            return false;
        }
    }
}

qint64 SpillFile::CopyWithinKernel(int to) {
    loff_t from = 0;
    const loff_t size = static_cast<loff_t>(file_.size());
    while (from < size) {
        const ssize_t copied =
            ::copy_file_range(fd_, &from, to, nullptr, static_cast<std::size_t>(size - from), 0);
        if (copied > 0) {
            continue;
        }
        // Across file systems on an older kernel the kernel declines: the rest goes otherwise.
        const bool declined = copied < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                                             errno == EOPNOTSUPP);
        return declined ? from : -1;
    }
    return from;
}

}  // namespace corvane
