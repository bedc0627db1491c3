// Entry point of the widget tests: a QApplication on the offscreen platform unless a display is
// chosen (scripts/with-xvfb sets xcb), so QTest drives the real widgets headless.
#include "imaging/process_setup.h"

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The programs' own language, whatever the locale of the machine running the tests; a test
    // of another language asks for it (and corvane-batch, started by tests, inherits this).
    qputenv("CORVANE_LANG", "zh");
    corvane::ConfigureProcessForImaging();
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
