// The main dialog's widgets: built from the template, and read and written by id (Form) and by
// the run (RunView).
#include "controls/colour_button.h"
#include "controls/icon_push_button.h"
#include "controls/shaded_progress_bar.h"
#include "controls/url_label.h"
#include "form_rules/enable_rules.h"
#include "platform/file_system.h"
#include "ui/dialog_main.h"
#include "ui/dialog_units.h"
#include "ui/introduction_text.h"
#include "ui/main_template.h"
#include "ui/resources.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QVBoxLayout>

namespace corvane {
namespace {

constexpr int kGroupTitleCell = 16;
constexpr int kRunButtonCell = 28;
constexpr ColourRef kGroupTitleColour = 0x009800;
constexpr ColourRef kProgressStartColour = 0x00D7FF;
constexpr ColourRef kProgressEndColour = 0x800080;
constexpr int kProgressBarHeight = 10;

void SetTextColour(QWidget* widget, ColourRef colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, ToQColor(colour));
    widget->setPalette(palette);
}

// The template holds the captions as written; the widgets show them in the user's language.
QString Translated(const QString& source) {
    return source.isEmpty() ? source
                            : QCoreApplication::translate("corvane", source.toUtf8().constData());
}

QWidget* MakeWidget(const ControlTemplate& template_, QWidget* parent) {
    ControlTemplate control = template_;
    control.caption = Translated(control.caption);
    control.accessibleName = Translated(control.accessibleName);
    switch (control.kind) {
        case ControlKind::Group:
            return new QGroupBox(control.caption, parent);
        case ControlKind::Check:
            return new QCheckBox(control.caption, parent);
        case ControlKind::Radio:  // its set is a QButtonGroup (all radios share one parent)
            return new QRadioButton(control.caption, parent);
        case ControlKind::Push: {
            auto* button = new QPushButton(control.caption, parent);
            button->setAutoDefault(false);  // Enter belongs to Start
            return button;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(parent);
            edit->setAcceptDrops(false);  // dropped files and folders go to the window
            edit->setAccessibleName(control.accessibleName);
            return edit;
        }
        case ControlKind::Label:
            return new QLabel(control.caption, parent);
        case ControlKind::ColourButton:
            return new CColourButton(control.caption, parent);
        case ControlKind::IconButton: {
            auto* button = new CIconPushButton(control.caption, parent);
            button->SetIcon(IntroductionIcon());
            button->setFlat(false);  // the raised look
            button->setAutoDefault(false);
            return button;
        }
        case ControlKind::Link: {
            auto* link = new CUrlLabel(ContactAddress(), ContactMailTarget(), parent);
            link->SetUnderline(CUrlLabel::Underline::Never);
            link->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            return link;
        }
        case ControlKind::Progress: {
            auto* bar = new CShadedProgressBar(parent);
            bar->setAccessibleName(control.accessibleName);
            bar->SetRange(0, 100);
            bar->SetStartColour(ToQColor(kProgressStartColour));
            bar->SetEndColour(ToQColor(kProgressEndColour));
            bar->setFixedHeight(kProgressBarHeight);
            return bar;
        }
    }
    return nullptr;
}

// A push button drawn as a link: its text, underlined, in the link colour, one line high, with a
// focus mark; for the keyboard (Tab, Space) and assistive technology (Press) a button as any other.
class LinkButton : public QPushButton {
public:
    using QPushButton::QPushButton;
    QSize sizeHint() const override {
        return fontMetrics().size(Qt::TextSingleLine, text()) + QSize(4, 2);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Window));  // over the group's frame
        QFont underlined = font();
        underlined.setUnderline(true);
        painter.setFont(underlined);
        painter.setPen(isDown() ? CUrlLabel::kHoverColour : CUrlLabel::kLinkColour);
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }
};

// Labels show the template's "\r\n" line breaks as plain ones.
QString DisplayText(const QString& text) {
    QString shown = text;
    return shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

void CDialogMain::BuildControls() {
    QFont dialogFont = font();
    dialogFont.setPointSize(kMainDialogPointSize);
    setFont(dialogFont);
    const DialogUnits units = DialogUnitsOf(QFontMetrics(dialogFont));
    // The controls stand on a surface of the template's size inside a scroll area, which shows
    // scroll bars only when the window has to be smaller than the surface (FitToScreen).
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);  // not a stop of its own in the tab order
    body_ = new QWidget;
    body_->setFixedSize(units.ToPixels(kMainDialogUnits));
    scroll_->setWidget(body_);
    auto* whole = new QVBoxLayout(this);
    whole->setContentsMargins(0, 0, 0, 0);
    whole->addWidget(scroll_);
    setFixedSize(body_->size());

    for (const QRect frame : {kHeaderStripUnits, kBodyFrameUnits}) {
        auto* box = new QFrame(body_);
        box->setFrameStyle(QFrame::Box | QFrame::Sunken);
        box->setGeometry(units.ToPixels(frame));
    }
    std::map<int, QButtonGroup*> radioSets;
    QVBoxLayout* messages = nullptr;
    for (const ControlTemplate& control : MainDialogTemplate()) {
        QWidget* widget = nullptr;
        if (SharesMessagesRect(control.id)) {
            if (messages == nullptr) {
                auto* panel = new QWidget(body_);
                panel->setGeometry(units.ToPixels(control.units));
                messages = new QVBoxLayout(panel);
                messages->setContentsMargins(0, 0, 0, 0);
                messages->setSpacing(2);
                messages->addStretch();
            }
            widget = MakeWidget(control, messages->parentWidget());
            messages->insertWidget(messages->count() - 1, widget);
        } else {
            widget = MakeWidget(control, body_);
            widget->setGeometry(units.ToPixels(control.units));
        }
        widget->setProperty("controlId", static_cast<int>(control.id));
        if (control.radioSet != 0) {
            QButtonGroup*& set = radioSets[control.radioSet];
            if (set == nullptr) {
                set = new QButtonGroup(this);
            }
            set->addButton(static_cast<QAbstractButton*>(widget));
        }
        controls_[control.id] = widget;
    }
    status_ = static_cast<QLabel*>(Control(ControlId::StatusLine));
    progressBar_ = static_cast<CShadedProgressBar*>(Control(ControlId::ProgressBar));
    for (const ControlId id : {ControlId::ProgressText, ControlId::StatusLine}) {
        auto* label = static_cast<QLabel*>(Control(id));
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    static_cast<QLabel*>(Control(ControlId::SelectionCounts))->setTextFormat(Qt::PlainText);
    static_cast<QLabel*>(Control(ControlId::CombineNote))
        ->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The link answers only over its text, not over the rest of its template rectangle.
    static_cast<CUrlLabel*>(Control(ControlId::ContactLink))->FitToText();
    BuildStatusLink();
    ApplyFonts();
}

// The way to the files of the last run that gave no output: on the title line of the "提示" group,
// at its right, where it never takes room from the counts and the status line.
void CDialogMain::BuildStatusLink() {
    unwrittenLink_ = new LinkButton(body_);
    unwrittenLink_->setAutoDefault(false);  // Enter belongs to Start
    unwrittenLink_->setCursor(Qt::PointingHandCursor);
    unwrittenLink_->hide();
    connect(unwrittenLink_, &QPushButton::clicked, this, [this] { ShowUnwrittenList(); });
}

void CDialogMain::PlaceStatusLink() {
    const QWidget* group = Control(ControlId::MessagesGroup);
    const QWidget* messages = status_->parentWidget();
    const QSize size = unwrittenLink_->sizeHint();
    const int titleHeight = group->fontMetrics().height();
    unwrittenLink_->setGeometry(messages->geometry().right() + 1 - size.width(),
                                group->y() + (titleHeight - size.height()) / 2, size.width(),
                                size.height());
}

void CDialogMain::ApplyFonts() {
    const QFont titleFont = BoldFontOfCellHeight(font(), kGroupTitleCell);
    for (const ControlId id : {ControlId::SourceGroup, ControlId::OperationsGroup,
                               ControlId::SaveGroup, ControlId::MessagesGroup}) {
        Control(id)->setFont(titleFont);
        SetTextColour(Control(id), kGroupTitleColour);
    }
    const QFont runFont = BoldFontOfCellHeight(font(), kRunButtonCell);
    for (const ControlId id : {ControlId::StartButton, ControlId::StopButton}) {
        Control(id)->setFont(runFont);
    }
}

QWidget* CDialogMain::Control(ControlId id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

// --- Form ------------------------------------------------------------------------------------

bool CDialogMain::IsChecked(ControlId id) const {
    const auto* button = qobject_cast<const QAbstractButton*>(Control(id));
    return button != nullptr && button->isCheckable() && button->isChecked();
}

void CDialogMain::SetChecked(ControlId id, bool checked) {
    if (auto* button = qobject_cast<QAbstractButton*>(Control(id))) {
        const QSignalBlocker quiet(button);  // as a program ticks a box: no handler runs
        button->setChecked(checked);
    }
}

bool CDialogMain::IsEnabled(ControlId id) const {
    const QWidget* widget = Control(id);
    return widget != nullptr && widget->isEnabled();
}

// An open button stays disabled while its file-manager call is under way, whatever the rules say
// meanwhile (a text change, the window activated); the call's end applies the rules again.
void CDialogMain::SetEnabled(ControlId id, bool enabled) {
    if (enabled && fileManagerCalls_.contains(id)) {
        return;
    }
    if (QWidget* widget = Control(id)) {
        widget->setEnabled(enabled);
    }
}

QString CDialogMain::Text(ControlId id) const {
    if (id == ControlId::ProgressText) {  // also while its display waits for the throttle
        return DisplayText(progressText_);
    }
    const QWidget* widget = Control(id);
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->text();
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
        return group->title();
    }
    return {};
}

void CDialogMain::SetText(ControlId id, const QString& text) {
    if (id == ControlId::ProgressText) {
        SetProgressText(text);
        return;
    }
    QWidget* widget = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(DisplayText(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    }
}

std::uint32_t CDialogMain::ColourValue(ControlId id) const {
    const auto* picker = qobject_cast<const CColourButton*>(Control(id));
    return picker != nullptr ? picker->Colour() : 0x00FFFFFF;
}

void CDialogMain::SetColourValue(ControlId id, std::uint32_t colour) {
    if (auto* picker = qobject_cast<CColourButton*>(Control(id))) {
        picker->SetColour(colour);
    }
}

// --- RunView ---------------------------------------------------------------------------------

void CDialogMain::SetStatus(const QString& text, Colour colour) {
    progressDisplay_.Flush();  // a verdict or a stop comes with the counts it concerns
    statusColour_ = colour;
    SetTextColour(status_, colour);
    // The status line has no accessible name of its own, so its name is its text and each new
    // text reaches assistive technology as a change of name (scripts/check-accessibility).
    status_->setText(text);
    UpdateUnwrittenLink();
}

void CDialogMain::SetProgressText(const QString& text) {
    progressText_ = text;
    progressDisplay_.Request();
}

void CDialogMain::SetProgressPosition(int percent) {
    progressPercent_ = percent;
    progressDisplay_.Request();
}

void CDialogMain::ApplyProgress() {
    static_cast<QLabel*>(Control(ControlId::ProgressText))->setText(DisplayText(progressText_));
    progressBar_->SetPos(progressPercent_);
}

void CDialogMain::ShowProgressBar(bool shown) {
    progressDisplay_.Flush();
    progressBar_->setVisible(shown);
}

void CDialogMain::SetButtonCaption(ControlId button, const QString& caption) {
    SetText(button, caption);
}

void CDialogMain::SetButtonEnabled(ControlId button, bool enabled) {
    SetEnabled(button, enabled);
}

void CDialogMain::SetControlsEnabled(bool enable, bool startEnabled) {
    corvane::SetControlsEnabled(*this, enable, startEnabled, HasSelection());
    UpdateUnwrittenLink();  // a run has just begun or ended
}

// The link shows while the run is idle and its last run left files without output.
void CDialogMain::UpdateUnwrittenLink() {
    if (unwrittenLink_ == nullptr || !run_) {
        return;
    }
    const bool idle = run_->State() == RunState::Idle && !run_->HasWorker();
    const QString text =
        idle ? UnwrittenLinkText(UnwrittenFiles(run_->FileResults(), IsDirectory)) : QString();
    unwrittenLink_->setText(text);
    PlaceStatusLink();
    unwrittenLink_->setVisible(!text.isEmpty());
    if (text.isEmpty() && unwrittenList_) {
        unwrittenList_->hide();
    }
}

void CDialogMain::SetFocus(ControlId control) {
    if (QWidget* widget = Control(control)) {
        widget->setFocus();
    }
}

}  // namespace corvane
