#pragma once
// Driving the folder picker from tests: waiting for its listing, marking and opening rows by name,
// pressing its buttons, reading its message boxes, and acting on a modal dialog from inside
// exec().

#include "folder_list_model.h"
#include "picker_views.h"
#include "selection/folder_history_box.h"
#include "selection/folder_picker_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <functional>

namespace corvane::test {

constexpr int kWaitMs = 20000;

inline bool WaitListed(CFolderPickerDialog& dialog) {
    return QTest::qWaitFor([&] { return !dialog.IsListing(); }, kWaitMs);
}

inline FolderListModel& Model(CFolderPickerDialog& dialog) {
    return *dialog.findChild<FolderListModel*>();
}

inline PickerViews& Views(CFolderPickerDialog& dialog) {
    return *dialog.findChild<PickerViews*>();
}

inline CFolderHistoryBox& HistoryBox(CFolderPickerDialog& dialog) {
    return *dialog.findChild<CFolderHistoryBox*>();
}

inline QStringList ListedNames(CFolderPickerDialog& dialog) {
    QStringList names;
    for (int row = 0; row < Model(dialog).rowCount(); ++row) {
        names << Model(dialog).FileName(row);
    }
    return names;
}

// A button by its caption or accessible name.
inline QAbstractButton* Button(QWidget& dialog, const QString& name) {
    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
        if (button->text() == name || button->accessibleName() == name) {
            return button;
        }
    }
    ADD_FAILURE() << "no button " << name.toStdString();
    return nullptr;
}

inline void Press(QWidget& dialog, const QString& name) {
    if (QAbstractButton* button = Button(dialog, name)) {
        QTest::mouseClick(button, Qt::LeftButton);
    }
}

inline QPoint RowCentre(CFolderPickerDialog& dialog, const QString& name) {
    QAbstractItemView* view = Views(dialog).CurrentView();
    const int row = Model(dialog).RowOf(name);
    EXPECT_GE(row, 0) << name.toStdString();
    const QModelIndex index = Model(dialog).index(row, 0);
    view->scrollTo(index);
    return view->visualRect(index).center();
}

inline void ClickRow(CFolderPickerDialog& dialog, const QString& name,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(Views(dialog).CurrentView()->viewport(), Qt::LeftButton, modifiers,
                      RowCentre(dialog, name));
}

// QTest sends a widget only the double-click event itself; the click before it comes first, as
// from a real mouse.
inline void DoubleClickRow(CFolderPickerDialog& dialog, const QString& name) {
    ClickRow(dialog, name);
    QTest::mouseDClick(Views(dialog).CurrentView()->viewport(), Qt::LeftButton, Qt::NoModifier,
                       RowCentre(dialog, name));
}

// The text of the message box the dialog shows, which is then closed; "" when there is none.
inline QString TakeMessage(QWidget& dialog) {
    auto* box = dialog.findChild<QMessageBox*>();
    if (box == nullptr) {
        return {};
    }
    const QString text = box->text();
    box->close();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return dialog.findChild<QMessageBox*>() == nullptr; }, kWaitMs));
    return text;
}

// Runs `drive` on the modal dialog of type Dialog once it shows (call before exec()). Should the
// drive fail before closing the dialog, the dialog is cancelled so that exec() returns.
template <typename Dialog>
void WhenModalShows(std::function<void(Dialog&)> drive) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, drive] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        drive(*dialog);
        if (dialog->isVisible()) {
            dialog->reject();
        }
    });
    timer->start(10);
}

}  // namespace corvane::test
