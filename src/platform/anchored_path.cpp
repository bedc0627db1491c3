#include "anchored_path.h"

#include "platform/native_names.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace corvane {

AnchoredPath::AnchoredPath(const QString& path) : native_(EncodeNativeName(path)) {
    while (native_.size() - offset_ >= PATH_MAX) {
        // The longest leading piece that fits and ends at a separator.
        const qsizetype cut = native_.lastIndexOf('/', offset_ + PATH_MAX - 1);
        if (cut <= offset_) {
            errno = ENAMETOOLONG;  // one name longer than the limit
            ok_ = false;
            return;
        }
        const QByteArray piece = native_.mid(offset_, cut - offset_);
        const int next = ::openat(folder_, piece.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (folder_ != AT_FDCWD) {
            ::close(folder_);
        }
        folder_ = next;
        if (next < 0) {
            ok_ = false;
            return;
        }
        offset_ = cut + 1;
        while (offset_ < native_.size() && native_[offset_] == '/') {
            ++offset_;
        }
    }
    if (offset_ == native_.size() && offset_ > 0) {
        offset_ = native_.size() - 1;  // the path ended with separators: the folder itself, "/"
        native_.back() = '.';
    }
}

AnchoredPath::~AnchoredPath() {
    if (folder_ >= 0) {
        ::close(folder_);
    }
}

QString SystemErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace corvane
