// corvane-batch: the engine of Corvane without its window.
#include "batch_options.h"
#include "batch_run.h"
#include "form_rules/language.h"
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
    // Every message, usage mistakes included, in the language asked for.
    const corvane::Translations translations(
        corvane::UserLanguage(corvane::AskedLanguage(arguments)), corvane::QtTexts::Skip);
    return corvane::RunBatch(arguments);
}
