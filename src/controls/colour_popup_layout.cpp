#include "controls/colour_popup_layout.h"

#include <algorithm>

namespace corvane {

int ColourBoxSize(int edge) {
    constexpr int kPreferred = 18;
    return kPreferred - (2 * edge + 2) < 5 ? 2 * edge + 7 : kPreferred;
}

QRect ColourPopupLayout::Cell(int index) const {
    const int row = index / kColourColumns;
    const int column = index % kColourColumns;
    return QRect(grid.left() + column * box, grid.top() + row * box, box, box);
}

QRect ColourPopupLayout::Box(int index) const {
    if (index >= 0 && index < kColourCount) {
        return Cell(index);
    }
    if (index == kDefaultBox) {
        return defaultBox;
    }
    return index == kCustomBox ? customBox : QRect();
}

int ColourPopupLayout::HitTest(QPoint point) const {
    if (customBox.contains(point)) {
        return kCustomBox;
    }
    if (defaultBox.contains(point)) {
        return kDefaultBox;
    }
    if (!grid.contains(point)) {
        return kNoBox;
    }
    const int index =
        (point.y() - grid.top()) / box * kColourColumns + (point.x() - grid.left()) / box;
    return index < kColourCount ? index : kNoBox;
}

ColourPopupLayout LayoutColourPopup(int edge, QSize defaultText, QSize customText) {
    ColourPopupLayout layout;
    layout.box = ColourBoxSize(edge);
    layout.margin = edge;
    const int m = edge;
    const int gridWidth = kColourColumns * layout.box + 2 * m;
    const int gridHeight = kColourRows * layout.box + 2 * m;
    const bool hasDefault = !defaultText.isEmpty();
    const bool hasCustom = !customText.isEmpty();
    const int textHeight = std::max(defaultText.height(), customText.height());
    const int textBoxHeight = textHeight + 4 * m + 2;
    const int neededWidth = std::max(defaultText.width(), customText.width()) + 2 * m;
    const int width = (hasDefault || hasCustom) ? std::max(gridWidth, neededWidth) : gridWidth;

    int y = 0;
    if (hasDefault) {
        layout.defaultBox = QRect(m, m, width - 2 * m, textBoxHeight);
        y += textBoxHeight + 2 * m;
    }
    layout.grid = QRect(m, y + m, kColourColumns * layout.box, kColourRows * layout.box);
    y += gridHeight;
    if (hasCustom) {
        layout.customBox = QRect(m, y + m, width - 2 * m, textBoxHeight);
        y += textBoxHeight + 2 * m;
    }
    layout.window = QSize(width, y);
    return layout;
}

QPoint PlaceColourPopup(QPoint pickerBottomLeft, int pickerHeight, QSize size,
                        const QRect& screen) {
    QRect r(pickerBottomLeft, size);
    if (r.right() > screen.right()) {
        r.moveRight(screen.right());
    }
    if (r.left() < screen.left()) {
        r.moveLeft(screen.left());
    }
    if (r.bottom() > screen.bottom()) {
        r.translate(0, -(size.height() + pickerHeight));
    }
    return r.topLeft();
}

int MarkedBox(ColourRef initial, bool hasDefault, bool hasCustom) {
    if (initial == kAutomaticColour && hasDefault) {
        return kDefaultBox;
    }
    const int cell = FindColourCell(initial);
    if (cell >= 0) {
        return cell;
    }
    return hasCustom ? kCustomBox : kNoBox;
}

namespace {

constexpr int kLastCell = kColourCount - 1;

// Moving forward (Down, Right) past the end of the grid, or out of the custom box.
int AfterGrid(bool hasDefault, bool hasCustom) {
    return hasCustom ? kCustomBox : hasDefault ? kDefaultBox : 0;
}
// Moving backward (Up, Left) before the start of the grid.
int BeforeGrid(bool hasDefault, bool hasCustom) {
    return hasDefault ? kDefaultBox : hasCustom ? kCustomBox : kLastCell;
}

int Forward(int from, int step, bool hasDefault, bool hasCustom) {
    if (from == kNoBox || from == kDefaultBox) {
        return 0;
    }
    if (from == kCustomBox) {
        return hasDefault ? kDefaultBox : 0;
    }
    const int next = from + step;
    return next <= kLastCell ? next : AfterGrid(hasDefault, hasCustom);
}

int Backward(int from, int step, bool hasDefault, bool hasCustom) {
    if (from == kNoBox || from == kCustomBox) {
        return kLastCell;
    }
    if (from == kDefaultBox) {
        return hasCustom ? kCustomBox : kLastCell;
    }
    const int previous = from - step;
    return previous >= 0 ? previous : BeforeGrid(hasDefault, hasCustom);
}

}  // namespace

int NavigateColourBoxes(ArrowKey key, int from, bool hasDefault, bool hasCustom) {
    switch (key) {
        case ArrowKey::Down:
            return Forward(from, kColourColumns, hasDefault, hasCustom);
        case ArrowKey::Right:
            return Forward(from, 1, hasDefault, hasCustom);
        case ArrowKey::Up:
            return Backward(from, kColourColumns, hasDefault, hasCustom);
        case ArrowKey::Left:
            return Backward(from, 1, hasDefault, hasCustom);
    }
    return from;
}

}  // namespace corvane
