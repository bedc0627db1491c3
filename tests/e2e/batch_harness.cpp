#include "e2e/batch_harness.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QJsonDocument>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

extern char** environ;

namespace corvane::test {
namespace {

QString ReadPipe(int fd, const std::function<void(const QString&)>& onLine) {
    QByteArray all;
    QByteArray pending;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        all.append(buffer, got);
        pending.append(buffer, got);
        qsizetype newline;
        while ((newline = pending.indexOf('\n')) >= 0) {
            if (onLine) {
                onLine(QString::fromUtf8(pending.left(newline)));
            }
            pending.remove(0, newline + 1);
        }
    }
    return QString::fromUtf8(all);
}

}  // namespace

BatchResult RunBatch(const QStringList& arguments,
                     const std::function<void(const QString&, pid_t)>& onLine, int asUser) {
    std::vector<QByteArray> storage;
    if (asUser >= 0 && ::geteuid() == 0) {
        // setpriv drops to the user before corvane-batch starts.
        for (const char* part : {"setpriv", "--clear-groups"}) {
            storage.emplace_back(part);
        }
        storage.push_back("--reuid=" + QByteArray::number(asUser));
        storage.push_back("--regid=" + QByteArray::number(asUser));
    }
    storage.emplace_back(CORVANE_BATCH);
    for (const QString& argument : arguments) {
        storage.push_back(argument.toUtf8());
    }
    std::vector<char*> argv;
    for (QByteArray& part : storage) {
        argv.push_back(part.data());
    }
    argv.push_back(nullptr);

    int outPipe[2];
    BatchResult result;
    // stderr goes to a file, so that a chatty decoder can never block the child while the test
    // reads stdout.
    std::FILE* errFile = std::tmpfile();
    if (errFile == nullptr || ::pipe2(outPipe, O_CLOEXEC) != 0) {
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, ::fileno(errFile), 2);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    if (spawned == 0) {
        result.out = ReadPipe(outPipe[0], [&](const QString& line) {
            if (onLine) {
                onLine(line, pid);
            }
        });
    }
    ::close(outPipe[0]);
    if (spawned != 0) {
        std::fclose(errFile);
        return result;
    }
    int status = 0;
    struct rusage usage {};
    if (::wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    result.peakKiB = usage.ru_maxrss;
    std::rewind(errFile);
    QFile err;
    if (err.open(errFile, QIODevice::ReadOnly)) {
        result.err = QString::fromUtf8(err.readAll());
    }
    err.close();
    std::fclose(errFile);
    if (arguments.contains(QStringLiteral("--json"))) {
        const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
        if (!lines.isEmpty()) {
            result.json = QJsonDocument::fromJson(lines.back().toUtf8()).object();
        }
    }
    return result;
}

QImage TestPicture(int width, int height, QColor tint) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y,
                           qRgb((tint.red() + x) % 256, (tint.green() + y) % 256, tint.blue()));
        }
    }
    return image;
}

QString WritePicture(const TempTree& tree, const QString& relative, int width, int height,
                     QColor tint) {
    const QString path = tree.Path(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    TestPicture(width, height, tint).save(path);
    return path;
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

QStringList TreeBelow(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        found << it.next().mid(QDir(folder).absolutePath().size() + 1);
    }
    found.sort();
    return found;
}

QSize ImageSize(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.size();
}

}  // namespace corvane::test
