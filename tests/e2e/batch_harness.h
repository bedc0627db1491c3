#pragma once
// Running corvane-batch from tests and looking at what it wrote.

#include "support/temp_tree.h"

#include <QColor>
#include <QImage>
#include <QJsonObject>
#include <QStringList>

#include <sys/types.h>
#include <cstdint>
#include <functional>

namespace corvane::test {

struct BatchResult {
    int exitCode = -1;  // -1 when it did not exit normally (killed, or could not start)
    QString out;
    QString err;
    QJsonObject json;  // when --json was given
    long peakKiB = 0;  // peak resident memory of the run
};

// Runs corvane-batch with the arguments. `onLine` sees each line of its standard output as it
// comes (with the process id, e.g. to send a signal); `unprivileged` runs it as "nobody" when the
// test runs as root; `addressSpace` (bytes, 0: none) limits the address space it may map, as a
// container's memory limit bounds what it may use. A run that takes longer than a generous time
// limit is killed and fails the test.
BatchResult RunBatch(const QStringList& arguments,
                     const std::function<void(const QString&, pid_t)>& onLine = {},
                     bool unprivileged = false, std::uint64_t addressSpace = 0);

// The counts of a run at one of its messages.
struct RunStep {
    int processed = 0;
    int recognised = 0;
    int saved = 0;
    int expected = 0;
    bool isFinal = false;
    int state = 0;  // RunState: 0 idle, 1 counting, 2 running, 3 paused
};

// Runs corvane-batch held at every message it handles: `onStep` sees the run's counts there
// while the run waits, and the run goes on when it returns. Whatever `onStep` does (a signal, a
// change to the output folder) so takes effect at that very point of the run, however fast or
// slow the machine.
BatchResult RunBatchInSteps(const QStringList& arguments,
                            const std::function<void(const RunStep&, pid_t)>& onStep,
                            bool unprivileged = false);

// A small picture with a gradient, so that resampling and encoders have something to do.
QImage TestPicture(int width, int height, QColor tint = QColor(200, 80, 40));
// Writes a picture in the format the extension names; returns the path.
QString WritePicture(const TempTree& tree, const QString& relative, int width, int height,
                     QColor tint = QColor(200, 80, 40));

// Names of the files in a folder (no hidden ones), sorted.
QStringList FilesIn(const QString& folder);
// Every file below a folder, relative to it, sorted; hidden files included.
QStringList TreeBelow(const QString& folder);
QSize ImageSize(const QString& path);

}  // namespace corvane::test
