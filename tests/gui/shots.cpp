#include "gui/shots.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <cstdio>

namespace corvane::shots {
namespace {

QString& Folder() {
    static QString folder = QStringLiteral("docs");
    return folder;
}

}  // namespace

void SetFolderFromArguments(int argc, char** argv) {
    if (argc > 1) {
        Folder() = QString::fromLocal8Bit(argv[1]);
    }
    QDir().mkpath(Folder());
}

bool Save(const QPixmap& pixmap, const QString& name) {
    const QString path = QDir(Folder()).filePath(name);
    const bool ok = pixmap.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// A full-screen capture reads the X server's screen, not our windows: a window is there only once
// we have drawn it into the server after the server exposed it. Under a bare server nothing else
// paints a window (no compositor, no window background), so a capture taken between its mapping
// and its first drawing shows the black of the root in its place. Waiting for the exposure and
// drawing every window once more on our own connection, just before the read on that connection,
// puts each window on the screen first.
QPixmap GrabScreen(QScreen* screen, const QRect& area) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible()) {
            continue;
        }
        if (!QTest::qWaitForWindowExposed(window)) {
            return {};
        }
        window->repaint();
    }
    const QRect r = area.isNull() ? QRect(QPoint(), screen->geometry().size()) : area;
    return screen->grabWindow(0, r.x(), r.y(), r.width(), r.height());
}

void ShowAndSettle(QWidget& window) {
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    QTest::qWait(300);  // let the X server finish drawing before a screen grab
}

}  // namespace corvane::shots
