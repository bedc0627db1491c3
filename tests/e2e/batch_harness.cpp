#include "e2e/batch_harness.h"

#include "platform/native_names.h"
#include "support/unprivileged.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QJsonDocument>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace corvane::test {
namespace {

// How long one run may take: far above the largest run of these tests, sanitizers included.
constexpr std::chrono::seconds kTimeLimit{180};

// Kills the child when it is still running at the time limit.
class Watchdog {
public:
    Watchdog(pid_t pid, std::chrono::seconds limit)
        : thread_([this, pid, limit] {
              std::unique_lock lock(mutex_);
              if (!stopped_.wait_for(lock, limit, [this] { return done_; })) {
                  fired_ = true;
                  ::kill(pid, SIGKILL);
                  stopped_.wait(lock, [this] { return done_; });
              }
          }) {}
    ~Watchdog() { Stop(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Call when the child has exited but before it is reaped, so its pid cannot have been given
    // to another process. True when the watchdog had to kill it.
    bool Stop() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        stopped_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
        return fired_;
    }

private:
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool done_ = false;
    bool fired_ = false;
    std::thread thread_;  // last: starts once the members it uses exist
};

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

// The descriptor on which a run in steps reports them.
constexpr int kStepDescriptor = 3;

// The environment of the child: ours, with the step descriptor named when there is one.
std::vector<QByteArray> ChildEnvironment(bool steps) {
    std::vector<QByteArray> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!QByteArray(*entry).startsWith("CORVANE_TEST_STEPS=")) {
            environment.emplace_back(*entry);
        }
    }
    if (steps) {
        environment.push_back("CORVANE_TEST_STEPS=" + QByteArray::number(kStepDescriptor));
    }
    return environment;
}

// Starts the program with stdout and stderr on the given descriptors (and its step socket on
// kStepDescriptor). Between fork and exec the child makes system calls only.
pid_t Spawn(std::vector<char*>& argv, std::vector<char*>& envp, int outFd, int errFd, int stepFd,
            bool unprivileged, std::uint64_t addressSpace) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const struct rlimit limit { addressSpace, addressSpace };
        if (::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0 || (unprivileged && !DropPrivileges()) ||
            (addressSpace > 0 && ::setrlimit(RLIMIT_AS, &limit) != 0)) {
            ::_exit(127);
        }
        if (stepFd >= 0 && (stepFd == kStepDescriptor ? ::fcntl(stepFd, F_SETFD, 0)
                                                      : ::dup2(stepFd, kStepDescriptor)) < 0) {
            ::_exit(127);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

// Answers the steps of a run until it closes its end: each line is handed to `onStep`, then the
// run is let go on.
void AnswerSteps(int fd, pid_t pid, const std::function<void(const RunStep&, pid_t)>& onStep) {
    QByteArray pending;
    char buffer[512];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return;
        }
        pending.append(buffer, got);
        qsizetype newline;
        while ((newline = pending.indexOf('\n')) >= 0) {
            const QList<QByteArray> fields = pending.left(newline).split(' ');
            pending.remove(0, newline + 1);
            RunStep step;
            if (fields.size() == 6) {
                step = {fields[0].toInt(), fields[1].toInt(), fields[2].toInt(),
                        fields[3].toInt(), fields[4] == "1",  fields[5].toInt()};
            } else {
                ADD_FAILURE() << "a step that is no step: " << fields.join(' ').toStdString();
            }
            onStep(step, pid);
            // No SIGPIPE when onStep has ended the run.
            if (::send(fd, "g", 1, MSG_NOSIGNAL) != 1) {
                return;
            }
        }
    }
}

QString ReadAndClose(std::FILE* file) {
    std::rewind(file);
    QFile err;
    QString text;
    if (err.open(file, QIODevice::ReadOnly)) {
        text = QString::fromUtf8(err.readAll());
    }
    err.close();
    std::fclose(file);
    return text;
}

BatchResult Run(const QStringList& arguments,
                const std::function<void(const QString&, pid_t)>& onLine,
                const std::function<void(const RunStep&, pid_t)>& onStep, bool unprivileged,
                std::uint64_t addressSpace) {
    std::vector<QByteArray> storage{CORVANE_BATCH};
    for (const QString& argument : arguments) {
        storage.push_back(EncodeNativeName(argument));  // names that are no UTF-8 keep their bytes
    }
    std::vector<char*> argv;
    for (QByteArray& part : storage) {
        argv.push_back(part.data());
    }
    argv.push_back(nullptr);
    std::vector<QByteArray> environment = ChildEnvironment(bool(onStep));
    std::vector<char*> envp;
    for (QByteArray& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    BatchResult result;
    // stderr goes to a file, so that a chatty decoder can never block the child while the test
    // reads stdout.
    std::FILE* errFile = std::tmpfile();
    int outPipe[2];
    if (errFile == nullptr || ::pipe2(outPipe, O_CLOEXEC) != 0) {
        if (errFile != nullptr) {
            std::fclose(errFile);
        }
        ADD_FAILURE() << "cannot make the pipes for corvane-batch";
        return result;
    }
    int stepSocket[2] = {-1, -1};
    if (onStep && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stepSocket) != 0) {
        ADD_FAILURE() << "cannot make the step socket";
    }
    const pid_t pid =
        Spawn(argv, envp, outPipe[1], ::fileno(errFile), stepSocket[1], unprivileged, addressSpace);
    ::close(outPipe[1]);
    if (stepSocket[1] >= 0) {
        ::close(stepSocket[1]);
    }
    if (pid < 0) {
        ::close(outPipe[0]);
        if (stepSocket[0] >= 0) {
            ::close(stepSocket[0]);
        }
        std::fclose(errFile);
        ADD_FAILURE() << "cannot start corvane-batch";
        return result;
    }
    Watchdog watchdog(pid, kTimeLimit);
    std::thread steps;
    if (stepSocket[0] >= 0) {
        steps = std::thread([&] { AnswerSteps(stepSocket[0], pid, onStep); });
    }
    result.out = ReadPipe(outPipe[0], [&](const QString& line) {
        if (onLine) {
            onLine(line, pid);
        }
    });
    ::close(outPipe[0]);
    if (steps.joinable()) {
        steps.join();  // the child's end closes when it exits
        ::close(stepSocket[0]);
    }
    siginfo_t exited{};
    ::waitid(P_PID, static_cast<id_t>(pid), &exited, WEXITED | WNOWAIT);
    if (watchdog.Stop()) {
        ADD_FAILURE() << "corvane-batch ran longer than " << kTimeLimit.count()
                      << " s and was killed: " << arguments.join(' ').toStdString();
    }
    int status = 0;
    struct rusage usage {};
    if (::wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    result.peakKiB = usage.ru_maxrss;
    result.err = ReadAndClose(errFile);
    if (arguments.contains(QStringLiteral("--json"))) {
        const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
        if (!lines.isEmpty()) {
            result.json = QJsonDocument::fromJson(lines.back().toUtf8()).object();
        }
    }
    return result;
}

}  // namespace

BatchResult RunBatch(const QStringList& arguments,
                     const std::function<void(const QString&, pid_t)>& onLine, bool unprivileged,
                     std::uint64_t addressSpace) {
    return Run(arguments, onLine, {}, unprivileged, addressSpace);
}

BatchResult RunBatchInSteps(const QStringList& arguments,
                            const std::function<void(const RunStep&, pid_t)>& onStep,
                            bool unprivileged) {
    return Run(arguments, {}, onStep, unprivileged, 0);
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
