#pragma once
// CShadedProgressBar: a progress bar whose filled part shows a colour ramp from a start colour
// to an end colour, optionally with the percentage in the middle. It stays a QProgressBar, so
// assistive technology sees its role and value.
//
// Position and range go through SetRange and SetPos: unlike QProgressBar::setValue, SetPos keeps a
// position above the upper bound, which paints an empty bar.

#include <QColor>
#include <QProgressBar>

namespace corvane {

class CShadedProgressBar : public QProgressBar {
public:
    explicit CShadedProgressBar(QWidget* parent = nullptr);

    // Stores both bounds and moves the position to the lower one.
    void SetRange(int lower, int upper);
    void SetPos(int position);
    int Pos() const { return position_; }

    void SetStartColour(QColor colour);
    void SetEndColour(QColor colour);
    void SetBackgroundColour(QColor colour);
    void SetTextColour(QColor colour);
    void SetShowPercentage(bool show);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int position_ = 0;
    QColor start_{255, 0, 0};
    QColor end_{0, 0, 255};
    QColor background_;
    QColor text_{Qt::white};
    bool showPercentage_ = false;
};

}  // namespace corvane
