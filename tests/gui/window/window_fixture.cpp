#include "window_fixture.h"

#include <QApplication>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QSettings>
#include <QTest>

namespace corvane::test {

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}

void WritePicture(const QString& path, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    ASSERT_TRUE(image.save(path, "PNG")) << path.toStdString();
}

WindowTest::WindowTest()
    : source(tree.MakeFolder(QStringLiteral("in"))),
      save(tree.MakeFolder(QStringLiteral("out"))),
      settingsFile(tree.Path(QStringLiteral("config/corvane.conf"))) {
    for (const char* name : {"a.png", "b.png", "c.png"}) {
        WritePicture(source + QString::fromLatin1(name));
    }
}

MainDialogOptions WindowTest::Options() const {
    MainDialogOptions options;
    options.settingsLocation = settingsFile;
    options.choosers = {};  // the modal dialogs would wait for a user
    return options;
}

void WindowTest::Open(MainDialogOptions options) {
    dialog = std::make_unique<ObservedDialog>(std::move(options));
    dialog->SetText(ControlId::SourcePath, source);
    dialog->SetText(ControlId::SavePath, save);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    dialog->activateWindow();
}

QAbstractButton* WindowTest::Button(ControlId id) const {
    return qobject_cast<QAbstractButton*>(Widget(id));
}

QLineEdit* WindowTest::Edit(ControlId id) const {
    return qobject_cast<QLineEdit*>(Widget(id));
}

void WindowTest::Click(ControlId id) {
    QTest::mouseClick(Widget(id), Qt::LeftButton);
}

void WindowTest::Type(ControlId id, const QString& text) {
    QLineEdit* edit = Edit(id);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(edit, c.toLatin1());
        } else {  // as an input method delivers it
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

void WindowTest::Key(Qt::Key key) {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target != nullptr ? target : dialog.get(), key);
}

bool WindowTest::WaitUntilIdle() {
    return WaitFor([this] {
        return dialog->Run().State() == RunState::Idle && !dialog->Run().HasWorker() &&
               dialog->IsEnabled(ControlId::StartButton);
    });
}

bool Drop(QWidget* window, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = window->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    return drop.isAccepted();
}

QString WindowTest::Stored(const QString& name) const {
    return QSettings(settingsFile, QSettings::IniFormat).value(name).toString();
}

QStringList WindowTest::Outputs() const {
    QStringList files;
    QDirIterator it(save, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files.append(it.next().mid(save.size()));
    }
    files.sort();
    return files;
}

}  // namespace corvane::test
