#pragma once
// Rules of the main window that need no widget: where its two child dialogs stand, and what
// dropping files and folders on it does. Pure functions (the drop plan asks the file system what
// the dropped paths are).

#include "engine/enumeration.h"

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringList>

namespace corvane {

// Top-left corner of a child dialog of `child` size: horizontally centred on the main window's
// frame (integer division, as the platform does it), its top at its anchor button's bottom edge.
// Screen coordinates.
QPoint ChildDialogPosition(const QRect& mainFrame, QSize child, int anchorBottom);

// The size of the main dialog's window on a screen whose free area is `available` (the window's
// frame takes `frame` around it): the surface's own size when it fits; otherwise as much as fits,
// the surface then scrolled, with room for the scroll bar (`scrollBar` wide) of a side that is cut.
QSize DialogSizeOnScreen(QSize surface, QSize available, const QMargins& frame, int scrollBar);

struct DropPlan {
    enum class Action { Nothing, FillSource, AddToSelection };
    Action action = Action::Nothing;
    QString sourceFolder;  // FillSource: the folder, ending with one separator
    PathList files;        // AddToSelection, in the order dropped
    PathList folders;      // AddToSelection, each ending with one separator
};

// What a drop of local paths does: in single-path mode one folder fills the source field;
// anything else switches to multi-path and is added to the selection as Add adds it. Paths at
// which nothing exists are left out.
DropPlan PlanDrop(const QStringList& paths, bool singlePathMode);

}  // namespace corvane
