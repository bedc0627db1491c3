#pragma once
// The main dialog's template: every control with its kind, caption and rectangle in dialog units,
// in the order of the template (group by group, row by row), which is also the tab order. The
// group frames and the Start/Stop buttons have fixed places that users know; inside the groups
// the rows are laid out wide enough for the Chinese captions at the CJK font we ship.

#include "engine/control_ids.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

namespace corvane {

enum class ControlKind {
    Group,         // a titled frame (the controls are its siblings, as in the template)
    Check,         // check box
    Radio,         // radio button of a set
    Push,          // push button
    Edit,          // one-line text field
    Label,         // static text
    ColourButton,  // CColourButton
    IconButton,    // CIconPushButton
    Link,          // CUrlLabel
    Progress,      // CShadedProgressBar
};

struct ControlTemplate {
    ControlId id;
    ControlKind kind;
    QString caption;         // the control's own text; empty for fields
    QRect units;             // dialog units
    QString accessibleName;  // for fields: the words of the label beside it
    int radioSet = 0;        // radio buttons of one set (1, 2, ...) exclude each other
};

inline constexpr QSize kMainDialogUnits{446, 393};
inline constexpr int kMainDialogPointSize = 9;
// Frames of the template that are no control: the header strip and the body frame.
inline constexpr QRect kHeaderStripUnits{7, 4, 434, 25};
inline constexpr QRect kBodyFrameUnits{7, 27, 433, 360};

// Every control, in template order. The progress text, the progress bar and the status line share
// one rectangle, in which they stand stacked top to bottom, each as tall as its text needs: two
// lines of counts or hint, the bar while a run is processing, one or two lines of status.
const std::vector<ControlTemplate>& MainDialogTemplate();
bool SharesMessagesRect(ControlId id);

}  // namespace corvane
