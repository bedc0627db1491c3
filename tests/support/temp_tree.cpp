#include "support/temp_tree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace corvane::test {

TempTree::TempTree() : root_(dir_.path() + QLatin1Char('/')) {}

// QTemporaryDir removes by QString names and leaves behind files whose names are not UTF-8; the
// file system removes by bytes.
TempTree::~TempTree() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(dir_.path()).toStdString()),
                                ignored);
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

LockedFolder::LockedFolder(const TempTree& tree, const QString& relative, const QString& fileName,
                           const QByteArray& bytes)
    : folder_(tree.MakeFolder(relative)),
      target_(tree.WriteFile(relative + u'/' + fileName, bytes)),
      bytes_(bytes) {
    tree.OpenToEveryone();
    ::chmod(QFile::encodeName(folder_).constData(), 0555);
}

LockedFolder::~LockedFolder() {
    ::chmod(QFile::encodeName(folder_).constData(), 0777);
}

::testing::AssertionResult LockedFolder::Untouched() const {
    const QStringList entries = Entries(folder_);
    if (entries != QStringList{QFileInfo(target_).fileName()}) {
        return ::testing::AssertionFailure()
               << "the folder holds " << entries.join(u' ').toStdString();
    }
    if (ReadAll(target_) != bytes_) {
        return ::testing::AssertionFailure() << "the file was changed";
    }
    return ::testing::AssertionSuccess();
}

QString TempTree::WriteFile(const QString& relative, const QByteArray& bytes) const {
    const QString path = Path(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
    return path;
}

QString TempTree::MakeFolder(const QString& relative) const {
    QDir().mkpath(Path(relative));
    QString path = Path(relative);
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    return path;
}

void TempTree::OpenToEveryone() const {
    ::chmod(QFile::encodeName(dir_.path()).constData(), 0777);
    QDirIterator it(dir_.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        ::chmod(QFile::encodeName(it.next()).constData(), 0777);
    }
}

QString TempTree::MakeDeepFolder(const QString& relative, int bytes, const QByteArray& file) const {
    QString path = MakeFolder(relative);
    int fd = ::open(QFile::encodeName(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; fd >= 0 && QFile::encodeName(path).size() <= bytes; ++i) {
        const QString name = QStringLiteral("level-%1").arg(i, 4, 10, QChar(u'0'));
        ::mkdirat(fd, QFile::encodeName(name).constData(), 0777);
        const int next =
            ::openat(fd, QFile::encodeName(name).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        path += name + u'/';
    }
    if (fd >= 0 && !file.isEmpty()) {
        ::close(::openat(fd, file.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return path;
}

bool TempTree::WriteRawName(const QByteArray& relative, const QByteArray& bytes) const {
    const QByteArray path = QFile::encodeName(root_) + relative;
    for (qsizetype at = path.indexOf('/', 1); at >= 0; at = path.indexOf('/', at + 1)) {
        ::mkdir(path.left(at).constData(), 0777);
    }
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool written = fd >= 0 && ::write(fd, bytes.constData(), bytes.size()) == bytes.size();
    if (fd >= 0) {
        ::close(fd);
    }
    return written;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace corvane::test
