#include "batch_app.h"

#include "form_rules/language.h"
#include "imaging/process_setup.h"
#include "ui/dialog_main.h"
#include "ui/introduction_text.h"
#include "ui/resources.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace corvane {

int CBatchApp::Run(int argc, char** argv) {
    // Answered before Qt starts, so that it needs no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("corvane %s\n", qPrintable(ProductVersion()));
            return 0;
        }
    }
    ConfigureProcessForImaging();
    QApplication app(argc, argv);
    // Before any window: dialogs take their texts when they are built.
    const Translations translations(UserLanguage());
    QApplication::setWindowIcon(ApplicationIcon());
    // Ties the window to its desktop entry (icon and name in the desktop's task list).
    QGuiApplication::setDesktopFileName(QStringLiteral("corvane"));
    CDialogMain dialog;
    dialog.exec();
    return 0;
}

}  // namespace corvane
