#pragma once
// CUrlLabel: a label that behaves like a link. Coloured text (link, visited, hover), optional
// underline, a pointing-hand cursor, a tooltip with the target; a click opens the target through
// QDesktopServices. A failed open beeps and reports "Unable to open hyperlink:" with the reason.
// Assistive technology sees a link whose name is the text and whose press action opens it. Tab
// reaches it; Space opens it then.

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QMargins>
#include <QTimer>

#include <functional>

namespace corvane {

// The reason shown for a failed open, by the shell's error code (the Windows ShellExecute
// results); codes outside the table give "Unknown Error (code) occurred.".
QString HyperlinkErrorText(int code);
// The whole message of a failed open.
QString HyperlinkFailureMessage(int code);
// The shell code for "no application is associated with the target", which is what a failed
// QDesktopServices::openUrl means.
inline constexpr int kNoAssociation = 31;

// Geometry of a label fitted to its text: `text` plus the label's own borders, centred
// vertically on the old rectangle when `align` says so (else the top stays), and horizontally
// centred, kept at the right edge or kept at the left edge as the text is aligned.
QRect FittedLabelGeometry(const QRect& old, QSize text, const QMargins& borders,
                          Qt::Alignment align);

class CUrlLabel : public QLabel {
    Q_OBJECT
public:
    enum class Underline { WhileHovering = -1, Never = 0, Always = 1 };
    using FailureReporter = std::function<void(QWidget* label, const QString& message)>;

    // An empty target takes the text, an empty text the target.
    explicit CUrlLabel(const QString& text = {}, const QString& target = {},
                       QWidget* parent = nullptr);

    void SetTarget(const QString& target);
    QString Target() const { return target_; }
    void SetUnderline(Underline mode);
    Underline UnderlineMode() const { return underline_; }
    void SetVisited(bool visited);
    bool IsVisited() const { return visited_; }
    bool IsHovering() const { return hovering_; }
    void SetColours(QColor link, QColor visited, QColor hover);
    void SetFitToText(bool fit);
    // Resizes the label to its text (measured with the underlined font) when fitting is on.
    void FitToText();
    // Replaces the beep and message box of a failed open (tests, embedding).
    void SetFailureReporter(FailureReporter reporter);

    // Opens the target as a click does; true when it opened.
    bool Open();

    static constexpr int kHoverTimerMs = 100;
    static const QColor kLinkColour;
    static const QColor kVisitedColour;
    static const QColor kHoverColour;

signals:
    void opened(bool ok);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void StartHover();
    void CheckHover();
    void EndHover();
    void ApplyLook();

    QString target_;
    QColor link_ = kLinkColour;
    QColor visitedColour_ = kVisitedColour;
    QColor hover_ = kHoverColour;
    Underline underline_ = Underline::WhileHovering;
    bool hovering_ = false;
    bool visited_ = false;
    bool fitToText_ = true;
    QTimer hoverTimer_;
    FailureReporter reportFailure_;
};

}  // namespace corvane
