// corvane-batch: the engine of Corvane without its window.
#include "batch_run.h"
#include "imaging/process_setup.h"

#include <QGuiApplication>

int main(int argc, char** argv) {
    // Text watermarks need a GUI application; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    corvane::ConfigureProcessForImaging();
    QGuiApplication app(argc, argv);
    return corvane::RunBatch(app.arguments().mid(1));
}
