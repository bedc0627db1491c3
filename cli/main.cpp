// corvane-batch: the engine of Corvane without its window.
#include "batch_run.h"
#include "headless_qt.h"
#include "imaging/process_setup.h"
#include "platform/native_names.h"

#include <QGuiApplication>

int main(int argc, char** argv) {
    const corvane::HeadlessQt headless;  // before the application object
    corvane::ConfigureProcessForImaging();
    QGuiApplication app(argc, argv);  // takes its own options out of argv
    // Decoded here rather than by Qt, so that a path that is not UTF-8 keeps its bytes.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << corvane::DecodeNativeName(argv[i]);
    }
    return corvane::RunBatch(arguments);
}
