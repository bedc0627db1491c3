#include "controls/url_label.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QUrl>

#include <mutex>

namespace corvane {

const QColor CUrlLabel::kLinkColour{0, 0, 238};
const QColor CUrlLabel::kVisitedColour{85, 26, 139};
const QColor CUrlLabel::kHoverColour{255, 0, 0};

QString HyperlinkErrorText(int code) {
    switch (code) {
        case 0:
            return QStringLiteral("The operating system is out\nof memory or resources.");
        case 2:
            return QStringLiteral("The specified file was not found.");
        case 3:
            return QStringLiteral("The specified path was not found.");
        case 5:
            return QStringLiteral("The operating system denied\naccess to the specified file.");
        case 8:
            return QStringLiteral("There was not enough memory to complete the operation.");
        case 11:
            return QStringLiteral(
                "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
        case 26:
            return QStringLiteral("A sharing violation occurred. ");
        case 27:
            return QStringLiteral("The filename association is\nincomplete or invalid.");
        case 28:
            return QStringLiteral(
                "The DDE transaction could not\nbe completed because the request timed out.");
        case 29:
            return QStringLiteral("The DDE transaction failed.");
        case 30:
            return QStringLiteral(
                "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
                "being processed.");
        case 31:
            return QStringLiteral(
                "There is no application associated\nwith the given filename "
                "extension.");
        case 32:
            return QStringLiteral("The specified dynamic-link library was not found.");
        default:
            return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
    }
}

QString HyperlinkFailureMessage(int code) {
    return QStringLiteral("Unable to open hyperlink:\n\n") + HyperlinkErrorText(code);
}

QRect FittedLabelGeometry(const QRect& old, QSize text, const QMargins& borders,
                          Qt::Alignment align) {
    const QSize size = text.grownBy(borders);
    QRect r(old.topLeft(), size);
    if (align & Qt::AlignVCenter) {
        r.moveTop(old.top() + (old.height() - size.height()) / 2);
    }
    if (align & Qt::AlignHCenter) {
        r.moveLeft(old.left() + (old.width() - size.width()) / 2);
    } else if (align & Qt::AlignRight) {
        r.moveRight(old.right());
    }
    return r;
}

namespace {

// A link for assistive technology: role Link, the text as name, the target as description and
// a press action that opens it.
class UrlLabelAccessible : public QAccessibleWidget {
public:
    explicit UrlLabelAccessible(CUrlLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override {
        auto* label = static_cast<CUrlLabel*>(widget());
        if (t == QAccessible::Name && label->accessibleName().isEmpty()) {
            return label->text();
        }
        if (t == QAccessible::Description && label->accessibleDescription().isEmpty()) {
            return label->Target();
        }
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction()) {
            static_cast<CUrlLabel*>(widget())->Open();
        }
    }
};

QAccessibleInterface* UrlLabelAccessibleFactory(const QString& key, QObject* object) {
    if (key == QLatin1String(CUrlLabel::staticMetaObject.className())) {
        if (auto* label = qobject_cast<CUrlLabel*>(object)) {
            return new UrlLabelAccessible(label);
        }
    }
    return nullptr;
}

void DefaultFailureReport(QWidget* label, const QString& message) {
    QApplication::beep();
    QMessageBox::warning(label, QGuiApplication::applicationDisplayName(), message);
}

QUrl TargetUrl(const QString& target) {
    const QUrl url(target, QUrl::TolerantMode);
    return url.scheme().isEmpty() ? QUrl::fromUserInput(target) : url;
}

}  // namespace

CUrlLabel::CUrlLabel(const QString& text, const QString& target, QWidget* parent)
    : QLabel(parent), reportFailure_(DefaultFailureReport) {
    static std::once_flag accessibleFactory;
    std::call_once(accessibleFactory,
                   [] { QAccessible::installFactory(UrlLabelAccessibleFactory); });
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    hoverTimer_.setInterval(kHoverTimerMs);
    connect(&hoverTimer_, &QTimer::timeout, this, &CUrlLabel::CheckHover);
    setText(text.isEmpty() ? target : text);
    SetTarget(target.isEmpty() ? text : target);
    ApplyLook();
}

void CUrlLabel::SetTarget(const QString& target) {
    target_ = target;
    if (text().isEmpty()) {
        setText(target);
    }
    setToolTip(target);
    FitToText();
}

void CUrlLabel::SetUnderline(Underline mode) {
    if (mode != underline_) {
        underline_ = mode;
        ApplyLook();
    }
}

void CUrlLabel::SetVisited(bool visited) {
    visited_ = visited;
    ApplyLook();
}

void CUrlLabel::SetColours(QColor link, QColor visited, QColor hover) {
    link_ = link;
    visitedColour_ = visited;
    hover_ = hover;
    ApplyLook();
}

void CUrlLabel::SetFitToText(bool fit) {
    fitToText_ = fit;
    FitToText();
}

void CUrlLabel::FitToText() {
    if (!fitToText_) {
        return;
    }
    QFont underlined = font();
    underlined.setUnderline(true);
    const QSize textSize = QFontMetrics(underlined).size(Qt::TextSingleLine, text());
    setGeometry(FittedLabelGeometry(geometry(), textSize, contentsMargins(), alignment()));
}

void CUrlLabel::SetFailureReporter(FailureReporter reporter) {
    reportFailure_ = std::move(reporter);
}

void CUrlLabel::ApplyLook() {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, hovering_ ? hover_ : visited_ ? visitedColour_ : link_);
    setPalette(pal);
    QFont f = font();
    f.setUnderline(underline_ == Underline::Always ||
                   (underline_ == Underline::WhileHovering && hovering_));
    setFont(f);
    update();
}

void CUrlLabel::StartHover() {
    hovering_ = true;
    ApplyLook();
    hoverTimer_.start();
}

// Leaving is noticed by polling the pointer, not by the leave event alone, so a pointer that
// leaves between two events is still noticed.
void CUrlLabel::CheckHover() {
    if (!rect().contains(mapFromGlobal(QCursor::pos()))) {
        EndHover();
    }
}

void CUrlLabel::EndHover() {
    hovering_ = false;
    hoverTimer_.stop();
    ApplyLook();
}

void CUrlLabel::enterEvent(QEnterEvent* event) {
    if (!hovering_) {
        StartHover();
    }
    QLabel::enterEvent(event);
}

// Leaving is noticed at once as well; the timer covers a pointer that left unseen.
void CUrlLabel::leaveEvent(QEvent* event) {
    if (hovering_) {
        EndHover();
    }
    QLabel::leaveEvent(event);
}

void CUrlLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        Open();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CUrlLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (hasFocus()) {
        QStylePainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.backgroundColor = palette().color(QPalette::Window);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
    }
}

void CUrlLabel::mouseMoveEvent(QMouseEvent* event) {
    if (!hovering_) {
        StartHover();
    }
    QLabel::mouseMoveEvent(event);
}

void CUrlLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Open();
    }
    QLabel::mouseReleaseEvent(event);
}

bool CUrlLabel::Open() {
    hovering_ = false;
    hoverTimer_.stop();
    const bool ok = QDesktopServices::openUrl(TargetUrl(target_));
    visited_ = ok;
    ApplyLook();
    if (!ok && reportFailure_) {
        reportFailure_(this, HyperlinkFailureMessage(kNoAssociation));
    }
    emit opened(ok);
    return ok;
}

}  // namespace corvane
