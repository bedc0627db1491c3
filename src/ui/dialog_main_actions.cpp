// What the main dialog's buttons, fields and drops do besides the run: the rules on every click,
// the remembered texts and examples on every change, browsing, the multi selection, the child
// dialogs and the tooltips.
#include "engine/report.h"
#include "form_rules/dialog_texts.h"
#include "form_rules/enable_rules.h"
#include "platform/file_system.h"
#include "selection/choosers.h"
#include "ui/dialog_introduction.h"
#include "ui/dialog_main.h"
#include "ui/dialog_view_multi_select.h"
#include "ui/shell_actions.h"
#include "ui/window_rules.h"

#include <QAbstractButton>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QToolTip>
#include <QUrl>

#include <initializer_list>

namespace corvane {
namespace {

using enum ControlId;

}  // namespace

void CDialogMain::ConnectHandlers() {
    // Boxes and radios act on a change of their state, whoever makes it: the mouse, the keyboard
    // or assistive technology (whose toggle action does not click). Form::SetChecked changes them
    // without signals, so the rules never trigger themselves. A radio acts when it is selected.
    const auto onAction = [this](std::initializer_list<ControlId> ids, auto handler) {
        for (const ControlId id : ids) {
            auto* button = static_cast<QAbstractButton*>(Control(id));
            if (!button->isCheckable()) {
                connect(button, &QAbstractButton::clicked, this, handler);
                continue;
            }
            const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
            connect(button, &QAbstractButton::toggled, this, [handler, radio](bool on) {
                if (on || !radio) {
                    handler();
                }
            });
        }
    };
    onAction({StartButton}, [this] { run_->OnStartPauseContinue(); });
    onAction({StopButton}, [this] { OnStop(); });
    onAction({BrowseSource}, [this] { Browse(SourcePath); });
    onAction({BrowseSave}, [this] { Browse(SavePath); });
    onAction({BrowseWatermarkImage}, [this] { BrowsePicture(); });
    const auto openIn = [this](ControlId button, ControlId field, OpenWhich which) {
        return [this, button, field, which] { OpenFileManager(button, field, which); };
    };
    onAction({OpenSourceCurrent}, openIn(OpenSourceCurrent, SourcePath, OpenWhich::Current));
    onAction({OpenSourceParent}, openIn(OpenSourceParent, SourcePath, OpenWhich::Parent));
    onAction({OpenSaveCurrent}, openIn(OpenSaveCurrent, SavePath, OpenWhich::Current));
    onAction({OpenSaveParent}, openIn(OpenSaveParent, SavePath, OpenWhich::Parent));
    onAction({SinglePathRadio, MultiPathRadio},
             [this] { SetSourceMode(*this, IsChecked(SinglePathRadio), HasSelection()); });
    onAction({AddSelection}, [this] { OnAdd(); });
    onAction({ClearSelection}, [this] { OnClear(); });
    onAction({ViewSelection}, [this] { ToggleChild(viewSelection_, introduction_); });
    onAction({IntroductionButton}, [this] { ToggleChild(introduction_, viewSelection_); });
    onAction({FormatAll}, [this] { ApplyAllFormatsRule(*this); });
    onAction({FormatBmp, FormatGif, FormatJpeg, FormatPng, FormatTiff, FormatEmf, FormatWmf},
             [this] { ApplySingleFormatRule(*this); });
    onAction({SameAsSource, DirectCopy}, [this] { UpdateSaveModeControls(*this); });
    onAction({ClashPrefix, ClashSuffix, ClashOverwrite},
             [this] { UpdateNameClashControls(*this); });
    onAction({Rotate, Rotate90, Rotate180, Rotate270, RotateCustom, Resize, ResizeByRatio,
              ResizeBySize, ResizeByLongEdge, Cut, CutByCount, CutByCellSize, Combine, Watermark,
              WatermarkByText, WatermarkByImage},
             [this] { UpdateOperationControls(*this); });
}

void CDialogMain::ConnectTextHandlers() {
    const auto onText = [this](std::initializer_list<ControlId> ids, auto handler) {
        for (const ControlId id : ids) {
            connect(static_cast<QLineEdit*>(Control(id)), &QLineEdit::textChanged, this, handler);
        }
    };
    const auto remembered = [this](const QString& valueName, ControlId field) {
        return [this, valueName, field] {
            Persist(valueName, field);
            UpdateOpenButtons(*this);
            UpdateTooltips();
        };
    };
    onText({SourcePath}, remembered(settings_names::kPathLatestOpened, SourcePath));
    onText({WatermarkText}, remembered(settings_names::kWatermarkText, WatermarkText));
    onText({WatermarkImagePath},
           remembered(settings_names::kWatermarkImagePath, WatermarkImagePath));
    onText({SavePath}, [this] {
        UpdateOpenButtons(*this);
        UpdateTooltips();
    });
    onText({ResizeWidth, ResizeHeight, LongEdgeLimit}, [this] { UpdateTooltips(); });
    onText({ClashPrefixText},
           [this](const QString& text) { SetText(ClashPrefixExample, PrefixExample(text)); });
    onText({ClashSuffixText},
           [this](const QString& text) { SetText(ClashSuffixExample, SuffixExample(text)); });
}

// The button stays disabled until the file manager has answered; when nothing can show the folder,
// the status line says so.
void CDialogMain::OpenFileManager(ControlId button, ControlId field, OpenWhich which) {
    fileManagerCalls_.insert(button);
    OpenInExplorer(Text(field), static_cast<QAbstractButton*>(Control(button)), which,
                   [guard = QPointer(this), button](bool shown) {
                       if (!guard) {
                           return;
                       }
                       guard->fileManagerCalls_.erase(button);
                       UpdateOpenButtons(*guard);
                       if (!shown) {
                           guard->SetStatus(kNoFileManager, colours::kRed);
                       }
                   });
}

void CDialogMain::ShowUnwrittenList() {
    if (!unwrittenList_) {
        return;
    }
    unwrittenList_->ShowFiles(UnwrittenFiles(run_->FileResults(), IsDirectory));
    const QRect frame = frameGeometry();
    unwrittenList_->move(frame.center() - unwrittenList_->rect().center());
    unwrittenList_->show();
    unwrittenList_->raise();
    unwrittenList_->activateWindow();
}

// The chooser opens at what was typed, or the nearest folder above it that exists. Cancel leaves
// the field (and so the remembered source) exactly as it was.
void CDialogMain::Browse(ControlId field) {
    if (!options_.choosers.chooseFolder) {
        return;
    }
    if (const auto folder = options_.choosers.chooseFolder(ChooserStartFolder(Text(field)), this)) {
        SetText(field, *folder);
    }
    SetFocus(field);
}

void CDialogMain::BrowsePicture() {
    if (!options_.choosers.choosePicture) {
        return;
    }
    const QString picture = options_.choosers.choosePicture(Text(WatermarkImagePath), this);
    if (!picture.isEmpty()) {
        SetText(WatermarkImagePath, picture);
        SetFocus(WatermarkImagePath);
    }
}

// The two lists exist from the first Add on.
void CDialogMain::EnsureSelectionLists() {
    for (PathListHolder* list : {&run_->MultiSelectFiles(), &run_->MultiSelectFolders()}) {
        if (!*list) {
            *list = std::make_unique<PathList>();
        }
    }
}

void CDialogMain::OnAdd() {
    EnsureSelectionLists();
    if (options_.choosers.chooseFilesAndFolders) {
        options_.choosers.chooseFilesAndFolders(
            *run_->MultiSelectFiles(), *run_->MultiSelectFolders(), Text(SourcePath), this);
    }
    AfterSelectionChanged();
}

void CDialogMain::OnClear() {
    SetEnabled(ClearSelection, false);
    SetEnabled(ViewSelection, false);
    ReleasePaths(run_->MultiSelectFiles());
    ReleasePaths(run_->MultiSelectFolders());
    UpdateSelectionCounts();
    if (viewSelection_) {
        viewSelection_->hide();
    }
}

void CDialogMain::AfterSelectionChanged() {
    UpdateSelectionCounts();
    SetEnabled(ClearSelection, HasSelection());
    SetEnabled(ViewSelection, HasSelection());
    if (viewSelection_ && viewSelection_->isVisible()) {
        viewSelection_->RefreshListing();
        viewSelection_->repaint();
    }
}

bool CDialogMain::HasSelection() {
    return EntryCount(run_->MultiSelectFiles().get()) > 0 ||
           EntryCount(run_->MultiSelectFolders().get()) > 0;
}

void CDialogMain::UpdateSelectionCounts() {
    SetText(SelectionCounts, SelectionCountsText(EntryCount(run_->MultiSelectFiles().get()),
                                                 EntryCount(run_->MultiSelectFolders().get())));
}

void CDialogMain::ToggleChild(QDialog* child, QDialog* other) {
    if (child == nullptr) {
        return;
    }
    PositionChildDialogs();
    if (child->isVisible()) {
        child->hide();
        return;
    }
    child->show();
    if (other != nullptr) {
        other->hide();
    }
}

void CDialogMain::PositionChildDialogs() {
    const std::pair<QDialog*, ControlId> children[] = {
        {introduction_, IntroductionButton},
        {viewSelection_, ViewSelection},
    };
    for (const auto& [child, anchor] : children) {
        if (child != nullptr) {
            const QWidget* button = Control(anchor);
            const int bottom = button->mapToGlobal(QPoint(0, button->height())).y();
            child->move(
                ChildDialogPosition(frameGeometry(), child->frameGeometry().size(), bottom));
        }
    }
}

void CDialogMain::UpdateTooltips() {
    if (!tooltipsReady_) {
        return;
    }
    for (const auto& [id, tip] : Tooltips(*this)) {
        Control(id)->setToolTip(tip);
    }
    QToolTip::hideText();
}

// --- drops -----------------------------------------------------------------------------------

bool CDialogMain::AcceptsDrops() const {
    return initialised_ && !closing_ && run_->State() == RunState::Idle && !run_->HasWorker();
}

void CDialogMain::dragEnterEvent(QDragEnterEvent* event) {
    if (AcceptsDrops() && event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CDialogMain::dropEvent(QDropEvent* event) {
    if (!AcceptsDrops()) {
        return;
    }
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.append(QDir::toNativeSeparators(url.toLocalFile()));
        }
    }
    const DropPlan plan = PlanDrop(paths, IsChecked(SinglePathRadio));
    switch (plan.action) {
        case DropPlan::Action::Nothing:
            return;
        case DropPlan::Action::FillSource:
            SetText(SourcePath, plan.sourceFolder);
            break;
        case DropPlan::Action::AddToSelection:
            SelectRadio(*this, MultiPathRadio);
            EnsureSelectionLists();
            AppendPaths(run_->MultiSelectFiles().get(), &plan.files);
            AppendPaths(run_->MultiSelectFolders().get(), &plan.folders);
            SetSourceMode(*this, false, true);
            AfterSelectionChanged();
            break;
    }
    event->acceptProposedAction();
}

}  // namespace corvane
