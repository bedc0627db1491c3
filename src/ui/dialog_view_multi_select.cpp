#include "ui/dialog_view_multi_select.h"

#include "form_rules/dialog_texts.h"

#include <QCoreApplication>
#include <QPlainTextEdit>

namespace corvane {

CDialogViewMultiSelect::CDialogViewMultiSelect(const PathListHolder& files,
                                               const PathListHolder& folders, QWidget* parent)
    : CTextPanelDialog(QCoreApplication::translate("corvane", "查看花式选择的文件和文件夹"),
                       {{448, 303}, {165, 7, 72, 22}, {5, 33, 437, 266}}, parent),
      files_(files),
      folders_(folders) {}

void CDialogViewMultiSelect::RefreshListing() {
    QString listing = SelectionListing(files_.get(), folders_.get());
    Text()->setPlainText(listing.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void CDialogViewMultiSelect::showEvent(QShowEvent* event) {
    RefreshListing();
    CTextPanelDialog::showEvent(event);
}

void CDialogViewMultiSelect::done(int result) {
    Text()->clear();
    CTextPanelDialog::done(result);
}

}  // namespace corvane
