// The main dialog's life: initialisation, remembered texts, keys, closing.
#include "ui/dialog_main.h"

#include "controls/colour_table.h"
#include "engine/pipeline.h"
#include "engine/report.h"
#include "form_rules/dialog_defaults.h"
#include "form_rules/dialog_texts.h"
#include "form_rules/enable_rules.h"
#include "form_rules/validation.h"
#include "ui/dialog_introduction.h"
#include "ui/dialog_view_multi_select.h"
#include "ui/resources.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolTip>

namespace corvane {
namespace {

constexpr Colour kTipColour = 0xFF0080;
constexpr Colour kTooltipBackground = 0x65FF36;
constexpr Colour kTooltipText = 0xF50852;

// Tips show at once and without animation, also over an inactive window.
void SetUpTooltips(QWidget* window) {
    QPalette palette = QToolTip::palette();
    palette.setColor(QPalette::ToolTipBase, ToQColor(kTooltipBackground));
    palette.setColor(QPalette::ToolTipText, ToQColor(kTooltipText));
    QToolTip::setPalette(palette);
    QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false);
    QApplication::setEffectEnabled(Qt::UI_FadeTooltip, false);
    window->setAttribute(Qt::WA_AlwaysShowToolTips);
}

}  // namespace

CDialogMain::CDialogMain(MainDialogOptions options, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      options_(std::move(options)) {
    setWindowTitle(texts::kTitle);
    setWindowIcon(ApplicationIcon());
    setAcceptDrops(true);
    BuildControls();
    // Enter and Esc are the dialog's wherever the focus is.
    for (QWidget* child : findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
    run_ = std::make_unique<RunController>(
        *this, *this, mailbox_,
        [this] {
            QString message;
            if (ValidateInputs(*this, *processor_, run_->RunWatermark(), &message)) {
                return true;
            }
            SetStatus(message, colours::kRed);
            return false;
        },
        [this] {
            return std::make_unique<Pipeline>(*processor_, run_->Settings(), run_->RunWatermark(),
                                              DefaultWorkerCount());
        });
    Initialise();
}

CDialogMain::~CDialogMain() {
    // The child dialogs read the selection lists, which go with the run controller.
    delete introduction_;
    delete viewSelection_;
}

void CDialogMain::Initialise() {
    store_ = std::make_unique<CRegistryStore>(options_.settingsLocation);
    ConnectHandlers();
    ConnectTextHandlers();
    LoadRememberedTexts();
    UpdateSelectionCounts();
    run_->ResetRunButtons();
    SetProgressText(QString());
    SetStatus(QString(), colours::kGreen);
    UpdateOpenButtons(*this);

    introduction_ = new CDialogIntroduction(this);
    viewSelection_ =
        new CDialogViewMultiSelect(run_->MultiSelectFiles(), run_->MultiSelectFolders(), this);
    PositionChildDialogs();
    Control(ControlId::SourcePath)->setFocus();

    processor_ = options_.makeProcessor();
    if (!processor_) {
        SetStatus(texts::kInitFailed, colours::kRed);
        SetControlsEnabled(false, false);
        return;
    }
    SetProgressText(texts::kKeysHint);
    SetStatus(texts::kStartTip, kTipColour);
    SetUpTooltips(this);
    tooltipsReady_ = true;
    UpdateTooltips();
    initialised_ = true;
    run_->MarkInitialised();
}

// The remembered texts, trimmed; the defaults apply where they are empty. Setting them fires the
// fields' handlers, which store them straight back.
void CDialogMain::LoadRememberedTexts() {
    const auto read = [this](const QString& name) { return store_->ReadString(name).trimmed(); };
    ApplyDialogDefaults(
        *this, {read(settings_names::kPathLatestOpened), read(settings_names::kWatermarkText),
                read(settings_names::kWatermarkImagePath)});
}

void CDialogMain::Persist(const QString& valueName, ControlId field) {
    const QString text = Text(field).trimmed();
    if (store_ && !text.isEmpty()) {
        store_->WriteString(valueName, text);
    }
}

bool CDialogMain::HandleKey(int key) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (IsEnabled(ControlId::StartButton)) {
                run_->OnStartPauseContinue();
            }
            return true;
        case Qt::Key_Escape: {
            bool hidden = false;
            for (QDialog* child :
                 {static_cast<QDialog*>(introduction_), static_cast<QDialog*>(viewSelection_)}) {
                if (child != nullptr && child->isVisible()) {
                    child->hide();
                    hidden = true;
                }
            }
            if (!hidden && IsEnabled(ControlId::StopButton)) {
                OnStop();
            }
            return true;
        }
        default:
            return false;
    }
}

void CDialogMain::OnStop() {
    run_->OnStop();
    setFocus();
}

bool CDialogMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && widget->window() == this &&
            HandleKey(static_cast<QKeyEvent*>(event)->key())) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CDialogMain::keyPressEvent(QKeyEvent* event) {
    if (!HandleKey(event->key())) {
        QDialog::keyPressEvent(event);
    }
}

// With a worker the run stops first and the window closes when the worker's last message has
// been handled (CloseWindow).
void CDialogMain::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        run_->OnClose();
    }
    if (!closing_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CDialogMain::CloseWindow() {
    closing_ = true;
    ShutdownDialog();
    close();  // inside closeEvent this does nothing; closeEvent then lets the close through
}

void CDialogMain::ShutdownDialog() {
    store_.reset();
    delete introduction_;
    delete viewSelection_;
    run_->ReleaseRunData(true);
    tooltipsReady_ = false;
}

void CDialogMain::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    const QPoint delta = event->pos() - event->oldPos();
    for (QDialog* child :
         {static_cast<QDialog*>(introduction_), static_cast<QDialog*>(viewSelection_)}) {
        if (child != nullptr && child->isVisible()) {
            child->move(child->pos() + delta);
        }
    }
    UpdateTooltips();
}

void CDialogMain::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        UpdateOpenButtons(*this);
        UpdateNameClashControls(*this);
        UpdateOperationControls(*this);
    }
}

}  // namespace corvane
