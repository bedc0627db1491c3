#pragma once
// CDialogIntroduction: the modeless introduction window shown under the "详细介绍" button. No
// title bar; a read-only text with the features, usage notes and version history, shown scrolled
// to the top with the caret in it; OK, Enter and Esc hide it (it is never destroyed before its
// owner).

#include "ui/text_panel_dialog.h"

namespace corvane {

class CDialogIntroduction : public CTextPanelDialog {
public:
    explicit CDialogIntroduction(QWidget* parent = nullptr);
};

}  // namespace corvane
