#include "gui/shots.h"

#include <QDir>
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

void ShowAndSettle(QWidget& window) {
    window.show();
    (void)QTest::qWaitForWindowExposed(&window);
    QTest::qWait(300);  // let the X server finish drawing before a screen grab
}

}  // namespace corvane::shots
