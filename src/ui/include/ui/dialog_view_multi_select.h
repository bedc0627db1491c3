#pragma once
// CDialogViewMultiSelect: the modeless window shown under the "查看" button that lists the multi
// selection exactly as it is held - counts, every file, every folder, in order, duplicates
// included. It reads the main window's two lists and never changes them. OK, Enter and Esc empty
// the text and hide it.

#include "engine/enumeration.h"
#include "ui/text_panel_dialog.h"

namespace corvane {

class CDialogViewMultiSelect : public CTextPanelDialog {
public:
    // The holders belong to the main window and outlive this dialog; a holder without a list
    // counts as an empty list.
    CDialogViewMultiSelect(const PathListHolder& files, const PathListHolder& folders,
                           QWidget* parent = nullptr);

    // Puts the current listing into the text.
    void RefreshListing();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    const PathListHolder& files_;
    const PathListHolder& folders_;
};

}  // namespace corvane
