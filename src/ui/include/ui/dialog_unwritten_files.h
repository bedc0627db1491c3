#pragma once
// CDialogUnwrittenFiles: the modeless list behind the status area's link
// "查看未产生输出的文件（N）"
// - every file of the last run that gave no output (or only an incomplete one), with its path and
// its reason. Read-only, in the look of the view-selection dialog; OK, Enter and Esc hide it.

#include "ui/text_panel_dialog.h"
#include "ui/unwritten_files.h"

namespace corvane {

class CDialogUnwrittenFiles : public CTextPanelDialog {
public:
    explicit CDialogUnwrittenFiles(QWidget* parent = nullptr);

    // Puts the listing of these files into the text.
    void ShowFiles(const std::vector<UnwrittenFile>& files);
};

}  // namespace corvane
