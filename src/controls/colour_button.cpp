#include "controls/colour_button.h"

#include "bevel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QColorDialog>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QToolTip>

#include <mutex>

namespace corvane {

namespace {

std::optional<ColourRef> RunQColorDialog(ColourRef initial, QWidget* parent) {
    QColorDialog dialog(ToQColor(initial), parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return FromQColor(dialog.selectedColor());
}

QString DescribeColour(ColourRef colour) {
    if (colour == kAutomaticColour) {
        return QCoreApplication::translate("corvane", "自动");
    }
    const int cell = FindColourCell(colour);
    return cell >= 0 ? ColourName(cell) : ToQColor(colour).name();
}

// A small filled triangle pointing down, centred in r.
void DrawDownArrow(QPainter& painter, const QRect& r, QColor colour) {
    constexpr int kHalfWidth = 3;
    const QPoint c = r.center();
    for (int row = 0; row <= kHalfWidth; ++row) {
        const int half = kHalfWidth - row;
        painter.fillRect(QRect(c.x() - half, c.y() - 1 + row, 2 * half + 1, 1), colour);
    }
}

// The picker for assistive technology: a button that drops down a grid, named by its caption,
// described by its colour. While the popup is open it is the button's one child: the application
// lists no popup windows among its windows, so this is the way to the colour cells.
class ColourButtonAccessible : public QAccessibleWidget {
public:
    explicit ColourButtonAccessible(CColourButton* button)
        : QAccessibleWidget(button, QAccessible::ButtonDropGrid) {}

    CColourButton* Button() const { return static_cast<CColourButton*>(widget()); }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return Button()->text();
        }
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.hasPopup = true;
        s.expandable = true;
        s.expanded = Button()->IsPopupActive();
        s.collapsed = !s.expanded;
        return s;
    }
    int childCount() const override { return Button()->IsPopupActive() ? 1 : 0; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 && Button()->IsPopupActive()
                   ? QAccessible::queryAccessibleInterface(Button()->Popup())
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && Button()->IsPopupActive() && child->object() == Button()->Popup()
                   ? 0
                   : -1;
    }
    QStringList actionNames() const override { return {pressAction(), showMenuAction()}; }
    void doAction(const QString& name) override {
        if (widget()->isEnabled() && (name == pressAction() || name == showMenuAction())) {
            Button()->OpenPopup();
        }
    }
};

// The popup: a grid of pressable boxes (its children) whose parent is the picker.
class ColourPopupAccessible : public QAccessibleWidget {
public:
    explicit ColourPopupAccessible(CColourButtonPopup* popup)
        : QAccessibleWidget(popup, QAccessible::PopupMenu) {}

    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(widget()->parentWidget());
    }
};

QAccessibleInterface* ColourAccessibleFactory(const QString& key, QObject* object) {
    if (key == QLatin1String(CColourButton::staticMetaObject.className())) {
        return new ColourButtonAccessible(static_cast<CColourButton*>(object));
    }
    if (key == QLatin1String(CColourButtonPopup::staticMetaObject.className())) {
        return new ColourPopupAccessible(static_cast<CColourButtonPopup*>(object));
    }
    return nullptr;
}

// Tells assistive technology that the picker's child (the popup) came or went.
void AnnounceChildren(CColourButton* button) {
    QAccessibleStateChangeEvent expanded(button, [] {
        QAccessible::State changed;
        changed.expanded = true;
        changed.collapsed = true;
        return changed;
    }());
    QAccessible::updateAccessibility(&expanded);
    QAccessibleEvent reorder(button, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&reorder);
}

}  // namespace

CColourButton::CColourButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent),
      defaultText_(QCoreApplication::translate("corvane", "自动")),
      customText_(QCoreApplication::translate("corvane", "更多颜色...")),
      colourDialog_(RunQColorDialog) {
    static std::once_flag accessibleFactory;
    std::call_once(accessibleFactory, [] { QAccessible::installFactory(ColourAccessibleFactory); });
    setFixedHeight(ArrowSize() + 2 * kEdge);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(this, &QPushButton::clicked, this, &CColourButton::OpenPopup);
    SetColour(kAutomaticColour);
}

CColourButton::~CColourButton() = default;

void CColourButton::SetColour(ColourRef colour) {
    colour_ = colour;
    setAccessibleDescription(DescribeColour(colour));
    update();
}

int CColourButton::ArrowSize() const {
    const int thumb = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return std::max(5 * kEdge, thumb);
}

QRect CColourButton::ArrowRect() const {
    const int d = ArrowSize();
    return QRect(width() - kEdge - d, kEdge, d, height() - 2 * kEdge);
}

QSize CColourButton::sizeHint() const {
    const int d = ArrowSize();
    const int textWidth = fontMetrics().horizontalAdvance(text()) + 4 * kEdge;
    return QSize(std::max(textWidth + d + 2 * kEdge, 2 * (kEdge + d)), d + 2 * kEdge);
}

QSize CColourButton::minimumSizeHint() const {
    const int d = ArrowSize();
    return QSize(2 * (kEdge + d), d + 2 * kEdge);
}

void CColourButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    const bool disabled = !isEnabled();
    painter.fillRect(rect(), pal.color(QPalette::Button));
    DrawSunkenEdge(painter, rect(), pal);

    const QRect arrow = ArrowRect();
    const bool pushed = IsPopupActive();
    if (pushed) {
        DrawFrame(painter, arrow, pal.color(QPalette::Dark));
    } else {
        DrawRaisedEdge(painter, arrow, pal);
    }
    const QRect arrowFace = arrow.translated(pushed ? QPoint(1, 1) : QPoint());
    if (disabled) {
        DrawDownArrow(painter, arrowFace.translated(1, 1), pal.color(QPalette::Light));
    }
    DrawDownArrow(painter, arrowFace, pal.color(disabled ? QPalette::Dark : QPalette::ButtonText));

    const QRect swatch(kEdge, kEdge, arrow.left() - kEdge, height() - 2 * kEdge);
    const bool plain = disabled || colour_ == kAutomaticColour;
    painter.fillRect(swatch, plain ? pal.color(QPalette::Button) : ToQColor(colour_));
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    if (disabled) {
        DrawEmbossedText(painter, swatch, flags, text(), pal);
    } else {
        painter.setPen(colour_ == kAutomaticColour ? QColor(Qt::black)
                                                   : pal.color(QPalette::ButtonText));
        painter.drawText(swatch, flags, text());
    }
    if (hasFocus()) {
        DrawFocusMark(painter, swatch.adjusted(1, 1, -1, -1), pal.color(QPalette::ButtonText));
    }
}

void CColourButton::OpenPopup() {
    if (popup_) {
        return;
    }
    popup_ = new CColourButtonPopup(mapToGlobal(QPoint(0, height())), colour_, this, defaultText_,
                                    customText_);
    connect(popup_, &CColourButtonPopup::colourChanged, this, [this](ColourRef colour) {
        if (trackSelection_) {
            SetColour(colour);
        }
        emit colourChanged(colour);
    });
    connect(popup_, &CColourButtonPopup::colourAccepted, this,
            [this](ColourRef colour) { PopupEnded(colour, true); });
    connect(popup_, &CColourButtonPopup::colourCancelled, this,
            [this](ColourRef colour) { PopupEnded(colour, false); });
    update();
    popup_->show();
    popup_->setFocus();
    AnnounceChildren(this);
    emit popupOpened(colour_);
}

void CColourButton::PopupEnded(ColourRef colour, bool accepted) {
    popup_ = nullptr;
    AnnounceChildren(this);
    SetColour(colour);
    emit popupClosed(colour);
    if (accepted) {
        emit colourAccepted(colour);
    } else {
        emit colourCancelled(colour);
    }
}

// One box of the popup. Boxes are children so that assistive technology sees each colour by
// name and can press it; the popup does all mouse handling, so they are transparent to the mouse.
class ColourBox final : public QAbstractButton {
public:
    ColourBox(CColourButtonPopup* popup, int index, const QString& text)
        : QAbstractButton(popup), popup_(popup), index_(index) {
        setText(text);
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QPalette& pal = palette();
        const bool hovered = popup_->HoveredBox() == index_;
        const bool marked = popup_->MarkedBox() == index_;
        const bool cell = index_ >= 0;
        const QRect r = rect();
        const QColor markedFace = pal.color(cell ? QPalette::Light : QPalette::Midlight);
        painter.fillRect(r, marked && !hovered ? markedFace : pal.color(QPalette::Button));
        if (hovered) {
            DrawBevel(painter, r, pal.color(QPalette::Light), pal.color(QPalette::Dark));
        } else if (marked) {
            DrawBevel(painter, r, pal.color(QPalette::Dark), pal.color(QPalette::Light));
        }
        const int m = popup_->Layout().margin;
        if (cell) {
            const QRect swatch = r.adjusted(m + 1, m + 1, -(m + 1), -(m + 1));
            painter.fillRect(swatch, ToQColor(ColourTable()[std::size_t(index_)].colour));
            DrawFrame(painter, swatch, pal.color(QPalette::Dark));
            return;
        }
        if (index_ == kDefaultBox) {
            DrawFrame(painter, r.adjusted(2 * m, 2 * m, -2 * m, -2 * m), pal.color(QPalette::Dark));
        }
        painter.setPen(pal.color(QPalette::ButtonText));
        painter.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, text());
    }

private:
    CColourButtonPopup* popup_;
    int index_;
};

CColourButtonPopup::CColourButtonPopup(QPoint position, ColourRef initial, CColourButton* owner,
                                       const QString& defaultText, const QString& customText)
    : QWidget(owner, Qt::Popup),
      owner_(owner),
      initial_(initial),
      chosen_(initial),
      hasDefault_(!defaultText.isEmpty()),
      hasCustom_(!customText.isEmpty()) {
    // A click outside only closes the popup; it is not passed on to what lies under it.
    setAttribute(Qt::WA_NoMouseReplay);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setWindowTitle(owner->text());
    setAccessibleName(owner->text());

    const QFontMetrics metrics(font());
    const auto textSize = [&](const QString& t) {
        return t.isEmpty() ? QSize() : metrics.size(Qt::TextSingleLine, t);
    };
    layout_ = LayoutColourPopup(kEdge, textSize(defaultText), textSize(customText));
    setFixedSize(layout_.window);
    marked_ = corvane::MarkedBox(initial, hasDefault_, hasCustom_);

    if (hasDefault_) {
        AddBox(kDefaultBox, defaultText, {});
    }
    for (int i = 0; i < kColourCount; ++i) {
        AddBox(i, ColourName(i), ColourName(i));
    }
    if (hasCustom_) {
        AddBox(kCustomBox, customText, {});
    }

    const QScreen* screen = owner->screen();
    move(PlaceColourPopup(position, owner->height(), size(),
                          screen ? screen->availableGeometry() : QRect(position, size())));
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive && !inColourDialog_) {
                    End(false);
                }
            });
}

void CColourButtonPopup::AddBox(int index, const QString& text, const QString& tip) {
    auto* box = new ColourBox(this, index, text);
    box->setGeometry(layout_.Box(index));
    box->setToolTip(tip);
    connect(box, &QAbstractButton::clicked, this, [this, index] {
        Select(index);
        End(true);
    });
    boxes_.emplace_back(index, box);
}

QAbstractButton* CColourButtonPopup::BoxWidget(int index) const {
    for (const auto& [i, box] : boxes_) {
        if (i == index) {
            return box;
        }
    }
    return nullptr;
}

void CColourButtonPopup::Select(int index) {
    const int old = hovered_;
    hovered_ = index;
    for (int i : {old, index}) {
        if (QAbstractButton* box = BoxWidget(i)) {
            box->update();
        }
    }
    if (index >= 0) {
        chosen_ = ColourTable()[std::size_t(index)].colour;
    } else if (index == kDefaultBox) {
        chosen_ = kAutomaticColour;
    }
    if (QAbstractButton* box = BoxWidget(index)) {
        QAccessibleEvent focus(box, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
    emit colourChanged(index == kCustomBox ? initial_ : chosen_);
}

void CColourButtonPopup::End(bool accept) {
    if (ended_) {
        return;
    }
    ended_ = true;
    if (!accept) {
        chosen_ = initial_;
    } else if (hovered_ == kCustomBox) {
        // The popup stays alive, hidden, while the dialog runs; losing activation to the
        // dialog must not end it a second time.
        inColourDialog_ = true;
        hide();
        const auto& runDialog = owner_->ColourDialogRunner();
        const auto picked = runDialog ? runDialog(initial_, owner_) : std::nullopt;
        inColourDialog_ = false;
        accept = picked.has_value();
        chosen_ = picked.value_or(initial_);
    }
    hide();
    if (accept) {
        emit colourAccepted(chosen_);
    } else {
        emit colourCancelled(chosen_);
    }
    deleteLater();
}

bool CColourButtonPopup::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = layout_.HitTest(help->pos());
        if (index >= 0) {
            QToolTip::showText(help->globalPos(), ColourName(index), this, layout_.Cell(index));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}

void CColourButtonPopup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    painter.fillRect(rect(), pal.color(QPalette::Button));
    if (hasCustom_) {
        const QRect& custom = layout_.customBox;
        painter.fillRect(QRect(custom.left(), custom.top() - 2, custom.width(), 1),
                         pal.color(QPalette::Dark));
        painter.fillRect(QRect(custom.left(), custom.top() - 1, custom.width(), 1),
                         pal.color(QPalette::Light));
    }
    DrawRaisedEdge(painter, rect(), pal);
}

void CColourButtonPopup::keyPressEvent(QKeyEvent* event) {
    const auto navigate = [&](ArrowKey key) {
        Select(NavigateColourBoxes(key, hovered_, hasDefault_, hasCustom_));
    };
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            End(true);
            break;
        case Qt::Key_Escape:
            End(false);
            break;
        case Qt::Key_Down:
            navigate(ArrowKey::Down);
            break;
        case Qt::Key_Up:
            navigate(ArrowKey::Up);
            break;
        case Qt::Key_Right:
            navigate(ArrowKey::Right);
            break;
        case Qt::Key_Left:
            navigate(ArrowKey::Left);
            break;
        default:
            QWidget::keyPressEvent(event);
    }
}

void CColourButtonPopup::mouseMoveEvent(QMouseEvent* event) {
    const int index = layout_.HitTest(event->position().toPoint());
    if (index != kNoBox && index != hovered_) {
        Select(index);
    }
}

void CColourButtonPopup::mousePressEvent(QMouseEvent* event) {
    if (!rect().contains(event->position().toPoint())) {
        QWidget::mousePressEvent(event);  // closes the popup, which cancels
    }
}

void CColourButtonPopup::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    // The release point is where the pointer is, even without a move before it.
    mouseMoveEvent(event);
    End(rect().contains(event->position().toPoint()));
}

void CColourButtonPopup::closeEvent(QCloseEvent* event) {
    if (!inColourDialog_) {
        End(false);
    }
    QWidget::closeEvent(event);
}

}  // namespace corvane
