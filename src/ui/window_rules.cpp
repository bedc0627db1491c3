#include "ui/window_rules.h"

#include "platform/file_system.h"
#include "platform/path_text.h"

#include <algorithm>

namespace corvane {

QPoint ChildDialogPosition(const QRect& mainFrame, QSize child, int anchorBottom) {
    return {mainFrame.left() + (mainFrame.width() - child.width()) / 2, anchorBottom};
}

QSize DialogSizeOnScreen(QSize surface, QSize available, const QMargins& frame, int scrollBar) {
    const QSize room = available.shrunkBy(frame);
    // A scroll bar on one side takes room from the other, which may then need one too.
    bool across = false;
    bool down = false;
    for (int pass = 0; pass < 2; ++pass) {
        down = surface.height() + (across ? scrollBar : 0) > room.height();
        across = surface.width() + (down ? scrollBar : 0) > room.width();
    }
    constexpr int kSmallest = 100;  // a screen smaller than that still shows a usable window
    return {
        std::max(std::min(surface.width() + (down ? scrollBar : 0), room.width()), kSmallest),
        std::max(std::min(surface.height() + (across ? scrollBar : 0), room.height()), kSmallest)};
}

DropPlan PlanDrop(const QStringList& paths, bool singlePathMode) {
    DropPlan plan;
    for (const QString& path : paths) {
        if (IsDirectory(path)) {
            plan.folders.push_back(TypedFolderPath(path));
        } else if (PathExists(path)) {
            plan.files.push_back(path);
        }
    }
    if (plan.files.empty() && plan.folders.empty()) {
        return plan;
    }
    if (singlePathMode && plan.files.empty() && plan.folders.size() == 1) {
        plan.action = DropPlan::Action::FillSource;
        plan.sourceFolder = plan.folders.front();
        plan.folders.clear();
        return plan;
    }
    plan.action = DropPlan::Action::AddToSelection;
    return plan;
}

}  // namespace corvane
