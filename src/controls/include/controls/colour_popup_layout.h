#pragma once
// The geometry and keyboard rules of the colour popup, as pure functions: box and window layout,
// placement on the screen, hit testing, the marked box and arrow-key navigation.
//
// Box indices: 0-39 the grid cells, kDefaultBox "自动" above the grid, kCustomBox "更多颜色..."
// below it, kNoBox nothing.

#include "controls/colour_table.h"

#include <QPoint>
#include <QRect>
#include <QSize>

namespace corvane {

inline constexpr int kNoBox = -1;
inline constexpr int kCustomBox = -2;
inline constexpr int kDefaultBox = -3;

// The platform's edge width (SM_CXEDGE); also the popup's margin.
inline constexpr int kEdge = 2;

// 18 pixels, raised when the swatch inside would be smaller than 5 pixels.
int ColourBoxSize(int edge);

struct ColourPopupLayout {
    QSize window;
    int box = 0;
    int margin = 0;
    QRect grid;        // the cells' area
    QRect defaultBox;  // empty when there is no default text
    QRect customBox;   // empty when there is no custom text

    QRect Cell(int index) const;
    // Rectangle of any box index; empty for kNoBox.
    QRect Box(int index) const;
    // The box under a point of the popup, or kNoBox.
    int HitTest(QPoint point) const;
};

// Text sizes are those of the default and custom texts in the popup's font; an empty size means
// that box does not exist.
ColourPopupLayout LayoutColourPopup(int edge, QSize defaultText, QSize customText);

// Top-left corner of a popup of `size` opened at the picker's lower-left corner, kept on the
// screen: shifted left or right into it, and above the picker when it would pass the bottom.
QPoint PlaceColourPopup(QPoint pickerBottomLeft, int pickerHeight, QSize size, const QRect& screen);

// The box that shows the colour the popup opened with.
int MarkedBox(ColourRef initial, bool hasDefault, bool hasCustom);

enum class ArrowKey { Up, Down, Left, Right };
// The box an arrow key moves to from `from`. From kNoBox, Down and Right go to the first cell,
// Up and Left to the last.
int NavigateColourBoxes(ArrowKey key, int from, bool hasDefault, bool hasCustom);

}  // namespace corvane
