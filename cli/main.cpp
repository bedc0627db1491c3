// corvane-batch: the engine of Corvane without its window.
#include "batch_run.h"
#include "headless_qt.h"
#include "imaging/process_setup.h"

#include <QGuiApplication>

int main(int argc, char** argv) {
    const corvane::HeadlessQt headless;  // outlives the application object
    corvane::ConfigureProcessForImaging();
    QGuiApplication app(argc, argv);
    return corvane::RunBatch(app.arguments().mid(1));
}
