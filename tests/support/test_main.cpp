// Test entry point: text drawing and image plugins need a QGuiApplication, which runs headless
// on the offscreen platform.
#include "imaging/process_setup.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

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
