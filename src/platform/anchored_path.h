#pragma once
// A path handed to the *at() system calls whatever its length. A path that fits PATH_MAX is used
// as it stands (relative to AT_FDCWD); a longer one (deep trees) is walked down in pieces that
// fit, and the call is then made on the rest relative to the folder reached.

#include <QByteArray>
#include <QString>

#include <fcntl.h>

namespace corvane {

class AnchoredPath {
public:
    explicit AnchoredPath(const QString& path);
    ~AnchoredPath();
    AnchoredPath(const AnchoredPath&) = delete;
    AnchoredPath& operator=(const AnchoredPath&) = delete;

    // False when a leading piece could not be opened; errno tells why.
    bool Ok() const { return ok_; }
    int Folder() const { return folder_; }
    const char* Name() const { return native_.constData() + offset_; }

private:
    QByteArray native_;
    qsizetype offset_ = 0;
    int folder_ = AT_FDCWD;
    bool ok_ = true;
};

// The system's text for an error number.
QString SystemErrorText(int error);

}  // namespace corvane
