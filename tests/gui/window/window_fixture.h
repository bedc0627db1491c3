#pragma once
// The real main window on real files: a source folder of small pictures, an output folder and a
// settings file of the test's own, and helpers that drive the widgets with mouse and keys.

#include "support/temp_tree.h"
#include "ui/dialog_main.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

namespace corvane::test {

// The window, with a hook that sees every progress text as the run shows it (on the window thread,
// while the worker waits for the message).
class ObservedDialog : public CDialogMain {
public:
    using CDialogMain::CDialogMain;
    void SetProgressText(const QString& text) override {
        CDialogMain::SetProgressText(text);
        if (onProgress) {
            onProgress(text);
        }
    }
    std::function<void(const QString&)> onProgress;
};

// Waits for a condition with a generous bound, handling events meanwhile.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 60000);

// Writes a small opaque picture.
void WritePicture(const QString& path, QSize size = QSize(40, 30));

// Sends a drag over the window and a drop on it, as the desktop does; true when it was taken.
bool Drop(QWidget* window, const QList<QUrl>& urls);

// Public, so that the rows of data-driven tests can drive it.
class WindowTest : public ::testing::Test {
public:
    WindowTest();

    MainDialogOptions Options() const;
    void Open(MainDialogOptions options);
    void Open() { Open(Options()); }

    QWidget* Widget(ControlId id) const { return dialog->Control(id); }
    QAbstractButton* Button(ControlId id) const;
    QLineEdit* Edit(ControlId id) const;
    // A mouse click in the middle of the control.
    void Click(ControlId id);
    // Replaces the field's text by typing it.
    void Type(ControlId id, const QString& text);
    // Enter or Esc at the widget that has the focus.
    void Key(Qt::Key key);

    // The run has ended: idle, no worker, Start enabled again.
    bool WaitUntilIdle();
    // The files written below the output folder, relative to it, sorted.
    QStringList Outputs() const;
    // A text the window remembers between starts, as stored.
    QString Stored(const QString& name) const;

    TempTree tree;
    QString source;  // three pictures, a.png, b.png, c.png
    QString save;
    QString settingsFile;
    std::unique_ptr<ObservedDialog> dialog;
};

}  // namespace corvane::test
