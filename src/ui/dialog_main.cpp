// The main dialog's life: initialisation, remembered texts, keys, closing.
#include "ui/dialog_main.h"

#include "controls/colour_table.h"
#include "engine/pipeline.h"
#include "engine/report.h"
#include "form_rules/dialog_defaults.h"
#include "form_rules/dialog_texts.h"
#include "form_rules/enable_rules.h"
#include "form_rules/validation.h"
#include "platform/file_system.h"
#include "ui/dialog_introduction.h"
#include "ui/dialog_view_multi_select.h"
#include "ui/resources.h"
#include "ui/window_rules.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollArea>
#include <QStyleFactory>
#include <QToolTip>
#include <QWindow>

namespace corvane {
namespace {

constexpr Colour kTipColour = 0xFF0080;
constexpr Colour kTooltipBackground = 0x65FF36;
constexpr Colour kTooltipText = 0xF50852;

// The style of the controls with the dialog's own tips: their tips wake at once (an initial delay
// of 0). Otherwise the program's style, so they look like every other control.
class ImmediateTipStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        return hint == SH_ToolTip_WakeUpDelay ? 0
                                              : QProxyStyle::styleHint(hint, option, widget, data);
    }
};

// The tip window on show, if any. Qt keeps one and reuses it from tip to tip, and its colours are
// the program's for every tip: the dialog's own colours go onto it while one of its tips shows.
QWidget* ShownTip() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->inherits("QTipLabel") && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

QPalette DialogTipPalette() {
    QPalette palette = QToolTip::palette();
    palette.setColor(QPalette::ToolTipBase, ToQColor(kTooltipBackground));
    palette.setColor(QPalette::ToolTipText, ToQColor(kTooltipText));
    return palette;
}

// The fields whose tips are brought up to date when they gain the focus.
bool UpdatesTipsOnFocus(ControlId id) {
    using enum ControlId;
    for (const ControlId field : {SourcePath, SavePath, WatermarkText, WatermarkImagePath,
                                  ResizeWidth, ResizeHeight, LongEdgeLimit}) {
        if (id == field) {
            return true;
        }
    }
    return false;
}

ControlId IdOf(const QObject* widget) {
    return static_cast<ControlId>(widget->property("controlId").toInt());
}

// What is remembered of a field: a path as typed when it names something (a folder's name may
// end in a blank), any other text without the blanks around it.
QString RememberedForm(const QString& valueName, const QString& text) {
    if (text.trimmed().isEmpty() || valueName == settings_names::kWatermarkText) {
        return text.trimmed();
    }
    return TrimUnlessExisting(text);
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
    // Enter and Esc are the dialog's wherever the focus is; so are the tips, and the scrolling
    // that keeps the focused control in view.
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
    delete unwrittenList_;
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
    unwrittenList_ = new CDialogUnwrittenFiles(this);
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
    // Tips without animation or fading, shown also while the window is inactive.
    QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false);
    QApplication::setEffectEnabled(Qt::UI_FadeTooltip, false);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    tipStyle_ = new ImmediateTipStyle(QStyleFactory::create(style()->name()));
    tipStyle_->setParent(this);  // outlives the controls that use it
    for (const auto& [id, tip] : Tooltips(*this)) {
        Control(id)->setStyle(tipStyle_);
    }
    tooltipsReady_ = true;
    UpdateTooltips();
    initialised_ = true;
    run_->MarkInitialised();
}

// The remembered texts, trimmed; the defaults apply where they are empty. Setting them fires the
// fields' handlers, which store them straight back.
void CDialogMain::LoadRememberedTexts() {
    const auto read = [this](const QString& name) {
        return RememberedForm(name, store_->ReadString(name));
    };
    ApplyDialogDefaults(
        *this, {read(settings_names::kPathLatestOpened), read(settings_names::kWatermarkText),
                read(settings_names::kWatermarkImagePath)});
}

void CDialogMain::Persist(const QString& valueName, ControlId field) {
    const QString text = RememberedForm(valueName, Text(field));
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
                 {static_cast<QDialog*>(introduction_), static_cast<QDialog*>(viewSelection_),
                  static_cast<QDialog*>(unwrittenList_)}) {
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
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != this) {
        return QDialog::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::KeyPress:
            if (HandleKey(static_cast<QKeyEvent*>(event)->key())) {
                return true;
            }
            break;
        case QEvent::ToolTip:
            if (HandleTooltip(widget, event)) {
                return true;
            }
            break;
        case QEvent::FocusIn:
            scroll_->ensureWidgetVisible(widget, 0, 0);
            if (UpdatesTipsOnFocus(IdOf(widget))) {
                UpdateTooltips();
            }
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

// A tip of the dialog's own is shown here, in the dialog's colours; any other tip of the window
// (the contact link's) takes the program's colours back before Qt shows it.
bool CDialogMain::HandleTooltip(QWidget* widget, QEvent* event) {
    const bool ours = tipStyle_ != nullptr && widget->style() == tipStyle_;
    if (!ours) {
        if (QWidget* tip = ShownTip()) {
            tip->setPalette(QToolTip::palette());
        }
        return false;
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    QToolTip::showText(help->globalPos(), widget->toolTip(), widget, widget->rect());
    if (QWidget* tip = ShownTip()) {
        tip->setPalette(DialogTipPalette());
    }
    return true;
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
    delete unwrittenList_;
    run_->ReleaseRunData(true);
    tooltipsReady_ = false;
}

void CDialogMain::setVisible(bool visible) {
    if (visible) {
        FitToScreen();  // before Qt centres the window on its screen
    }
    QDialog::setVisible(visible);
    if (visible) {
        FitToScreen();  // with the frame, where the platform knows it at once
    }
    if (visible && windowHandle() != nullptr && !watchingScreen_) {
        watchingScreen_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this](QScreen* screen) {
            WatchScreen(screen);
            FitToScreen();
        });
        WatchScreen(screen());
    }
}

void CDialogMain::WatchScreen(QScreen* screen) {
    disconnect(screenWatch_);
    if (screen != nullptr) {
        screenWatch_ =
            connect(screen, &QScreen::availableGeometryChanged, this, [this] { FitToScreen(); });
    }
}

// The window keeps the template's size while the screen's free area holds it (with its frame,
// known once a window manager has framed it); otherwise it shrinks to fit and scrolls.
void CDialogMain::FitToScreen() {
    const QScreen* on = screen();
    if (on == nullptr) {
        return;
    }
    const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_);
    const QSize size =
        DialogSizeOnScreen(body_->size(), on->availableGeometry().size(), frame, bar);
    if (size != this->size()) {
        setFixedSize(size);
    }
}

void CDialogMain::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    FitToScreen();  // the frame's size is known by now
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
