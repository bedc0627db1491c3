#include "ui/dialog_introduction.h"

#include "ui/introduction_text.h"

#include <QCoreApplication>
#include <QPlainTextEdit>

namespace corvane {

CDialogIntroduction::CDialogIntroduction(QWidget* parent)
    : CTextPanelDialog(QCoreApplication::translate("corvane", "详细介绍"),
                       {{420, 311}, {171, 7, 72, 22}, {5, 33, 410, 273}}, parent) {
    Text()->setPlainText(IntroductionText());
}

}  // namespace corvane
