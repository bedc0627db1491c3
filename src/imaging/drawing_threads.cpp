#include "imaging/drawing_threads.h"

#include <QThreadPool>

namespace corvane {

void EndDrawingThreads() {
    // waitForDone() also joins the idle threads.
    if (QThreadPool* pool = QThreadPool::globalInstance()) {
        pool->waitForDone();
    }
}

}  // namespace corvane
