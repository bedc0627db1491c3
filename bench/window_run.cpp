// One run through the real window, offscreen, for bench/window_vs_batch: opens the window on
// SOURCE and OUTPUT with the dialog's defaults (PNG, subfolders included), presses Start, and
// exits when the run has ended. Prints the verdict; exit status 0 when everything was done.
#include "engine/report.h"
#include "imaging/process_setup.h"
#include "ui/dialog_main.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace corvane {
namespace {

// Ends the program when the run unlocks the dialog again.
class BenchWindow : public CDialogMain {
public:
    using CDialogMain::CDialogMain;
    void SetControlsEnabled(bool enable, bool startEnabled) override {
        CDialogMain::SetControlsEnabled(enable, startEnabled);
        if (enable && started) {
            QCoreApplication::quit();
        }
    }
    bool started = false;
};

}  // namespace
}  // namespace corvane

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    corvane::ConfigureProcessForImaging();
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_run SOURCE OUTPUT\n");
        return 3;
    }
    QTemporaryDir settings;
    corvane::MainDialogOptions options;
    options.settingsLocation = settings.filePath(QStringLiteral("corvane.conf"));
    corvane::BenchWindow window(options);
    window.SetText(corvane::ControlId::SourcePath, QString::fromLocal8Bit(argv[1]));
    window.SetText(corvane::ControlId::SavePath, QString::fromLocal8Bit(argv[2]));
    window.show();
    window.started = true;
    window.Run().OnStartPauseContinue();
    if (window.Run().State() == corvane::RunState::Idle && !window.Run().HasWorker()) {
        std::fprintf(stderr, "refused: %s\n",
                     qPrintable(window.Text(corvane::ControlId::StatusLine)));
        return 3;
    }
    QApplication::exec();
    const QString verdict = window.Text(corvane::ControlId::StatusLine);
    std::printf("%s\n", qPrintable(verdict));
    return verdict == QStringLiteral("操作全部完成！") ? 0 : 1;
}
