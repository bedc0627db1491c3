#pragma once
// Large trees of empty files for listing benchmarks, generated once under $TMPDIR and kept for
// later runs (a marker file says the tree is complete).

#include <QDir>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <unistd.h>

#include <functional>

namespace corvane::bench {

// $TMPDIR/<name>/ holding `folders` folders, named by `folderName` (relative, ending with "/"),
// of `filesPerFolder` files IMG_<n>.jpg each; the path ends with "/".
inline QString EmptyFileTree(const QString& name, int folders, int filesPerFolder,
                             const std::function<QString(int)>& folderName) {
    const QString path = QDir::tempPath() + u'/' + name + u'/';
    const QString done = QDir::tempPath() + u'/' + name + QStringLiteral(".complete");
    if (QFile::exists(done)) {
        return path;
    }
    QDir(path).removeRecursively();
    for (int folder = 0; folder < folders; ++folder) {
        const QString dir = path + folderName(folder);
        QDir().mkpath(dir);
        for (int file = 0; file < filesPerFolder; ++file) {
            const QByteArray fileName =
                QFile::encodeName(dir + QStringLiteral("IMG_%1.jpg").arg(file));
            ::close(::open(fileName.constData(), O_CREAT | O_WRONLY, 0644));
        }
    }
    QFile(done).open(QIODevice::WriteOnly);
    return path;
}

}  // namespace corvane::bench
