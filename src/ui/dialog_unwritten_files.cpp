#include "ui/dialog_unwritten_files.h"

#include <QCoreApplication>
#include <QPlainTextEdit>

namespace corvane {

CDialogUnwrittenFiles::CDialogUnwrittenFiles(QWidget* parent)
    : CTextPanelDialog(QCoreApplication::translate("corvane", "未产生输出的文件"),
                       {{448, 303}, {165, 7, 72, 22}, {5, 33, 437, 266}}, parent) {}

void CDialogUnwrittenFiles::ShowFiles(const std::vector<UnwrittenFile>& files) {
    Text()->setPlainText(UnwrittenListing(files));
}

}  // namespace corvane
