// Test entry point: text drawing and image plugins need a QGuiApplication, which runs headless
// on the offscreen platform.
#include "imaging/process_setup.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

#if defined(__SANITIZE_THREAD__)
// Qt is not built with ThreadSanitizer, and its mutexes wait on futexes that it cannot see: the
// hand-over of a task to a thread of Qt's own pool, and the end of an idle pool thread when a run
// waits for the pool, look like races between Qt's threads. Only reports through those two Qt
// functions are left out; every access from our code is still checked.
extern "C" const char* __tsan_default_suppressions() {
    return "race:QThreadPoolPrivate::enqueueTask\n"
           "race:QWaitCondition::~QWaitCondition\n";
}
#endif

#if defined(__SANITIZE_ADDRESS__)
// x265, which encodes the HEIC samples of the tests, keeps a little memory until the process ends.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx265.so\n";
}
#endif

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The programs' own language, whatever the locale of the machine running the tests; a test
    // of another language asks for it (and corvane-batch, started by tests, inherits this).
    qputenv("CORVANE_LANG", "zh");
    corvane::ConfigureProcessForImaging();
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
