// The main dialog's widgets: built from the template, and read and written by id (Form) and by
// the run (RunView).
#include "controls/colour_button.h"
#include "controls/icon_push_button.h"
#include "controls/shaded_progress_bar.h"
#include "controls/url_label.h"
#include "form_rules/enable_rules.h"
#include "ui/dialog_main.h"
#include "ui/dialog_units.h"
#include "ui/introduction_text.h"
#include "ui/main_template.h"
#include "ui/resources.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
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

QWidget* MakeWidget(const ControlTemplate& control, QWidget* parent) {
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
    setFixedSize(units.ToPixels(kMainDialogUnits));

    for (const QRect frame : {kHeaderStripUnits, kBodyFrameUnits}) {
        auto* box = new QFrame(this);
        box->setFrameStyle(QFrame::Box | QFrame::Sunken);
        box->setGeometry(units.ToPixels(frame));
    }
    std::map<int, QButtonGroup*> radioSets;
    QVBoxLayout* messages = nullptr;
    for (const ControlTemplate& control : MainDialogTemplate()) {
        QWidget* widget = nullptr;
        if (SharesMessagesRect(control.id)) {
            if (messages == nullptr) {
                auto* panel = new QWidget(this);
                panel->setGeometry(units.ToPixels(control.units));
                messages = new QVBoxLayout(panel);
                messages->setContentsMargins(0, 0, 0, 0);
                messages->setSpacing(2);
                messages->addStretch();
            }
            widget = MakeWidget(control, messages->parentWidget());
            messages->insertWidget(messages->count() - 1, widget);
        } else {
            widget = MakeWidget(control, this);
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
    ApplyFonts();
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

void CDialogMain::SetEnabled(ControlId id, bool enabled) {
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
    status_->setText(text);
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
}

void CDialogMain::SetFocus(ControlId control) {
    if (QWidget* widget = Control(control)) {
        widget->setFocus();
    }
}

}  // namespace corvane
