// Screenshots of the main window for docs/: at start, and with the view-selection dialog open
// over a small selection. Run under a real (virtual) X server: scripts/shoot-window.
#include "ui/dialog_main.h"
#include "ui/resources.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace corvane {
namespace {

QString outputDir;

bool Save(const QPixmap& pixmap, const QString& name) {
    const QString path = QDir(outputDir).filePath(name);
    const bool ok = pixmap.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

void ShowAndSettle(QWidget& window) {
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    QTest::qWait(300);  // let the X server finish drawing before a screen grab
}

bool ShootMainWindow(const QString& settings) {
    MainDialogOptions options;
    options.settingsLocation = settings;
    CDialogMain dialog(options);
    dialog.SetText(ControlId::SourcePath, QStringLiteral("/home/user/图片/"));
    dialog.SetText(ControlId::SavePath, QStringLiteral("/home/user/CVN_Save/"));
    dialog.move(40, 40);
    ShowAndSettle(dialog);
    return Save(dialog.grab(), QStringLiteral("main-window.png"));
}

}  // namespace
}  // namespace corvane

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(corvane::ApplicationIcon());
    corvane::outputDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    QDir().mkpath(corvane::outputDir);
    QTemporaryDir settings;
    const bool ok = corvane::ShootMainWindow(settings.filePath(QStringLiteral("corvane.conf")));
    return ok ? 0 : 1;
}
