#include "batch_app.h"

#include "imaging/process_setup.h"
#include "ui/dialog_main.h"
#include "ui/resources.h"
#include "ui/translations.h"

#include <QApplication>

namespace corvane {

int CBatchApp::Run(int argc, char** argv) {
    ConfigureProcessForImaging();
    QApplication app(argc, argv);
    const Translations translations;  // before any window: dialogs take their texts when built
    QApplication::setWindowIcon(ApplicationIcon());
    // Ties the window to its desktop entry (icon and name in the desktop's task list).
    QGuiApplication::setDesktopFileName(QStringLiteral("corvane"));
    CDialogMain dialog;
    dialog.exec();
    return 0;
}

}  // namespace corvane
