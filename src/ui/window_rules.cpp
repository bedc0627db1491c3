#include "ui/window_rules.h"

#include "platform/file_system.h"
#include "platform/path_text.h"

namespace corvane {

QPoint ChildDialogPosition(const QRect& mainFrame, QSize child, int anchorBottom) {
    return {mainFrame.left() + (mainFrame.width() - child.width()) / 2, anchorBottom};
}

DropPlan PlanDrop(const QStringList& paths, bool singlePathMode) {
    DropPlan plan;
    for (const QString& path : paths) {
        if (IsDirectory(path)) {
            plan.folders.push_back(NormalizeFolderPath(path));
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
