#pragma once
// The arithmetic of RotateByAngle, apart from the drawing so that it can be checked on its own.
// Private to the imaging library.

#include <QPointF>

namespace corvane {

// How an angle is carried out.
enum class TurnKind {
    Invalid,    // not a finite number: nothing happens
    Unchanged,  // within 0.001 degrees of a whole turn: a plain copy
    Quarter,    // within 0.001 degrees of 90, 180 or 270: a lossless quarter turn
    General,    // an optional quarter turn, then a drawn turn by the rest
};

struct TurnPlan {
    TurnKind kind = TurnKind::Invalid;
    int quarter = 0;    // Quarter: the turn; General: the pre-turn (0, 90, 180 or 270)
    float rest = 0.0f;  // General: what is left after the pre-turn, strictly between 0 and 90
};

// Reduces a clockwise angle in degrees (negative turns counter-clockwise) to [0, 360), keeping
// its fraction exactly, and chooses how to carry it out.
TurnPlan PlanTurn(float angle);

// The canvas that just holds a width x height image turned by `rest` degrees (0 < rest < 90),
// and where the image's upper-left, upper-right and lower-left corners land on it (single
// precision, as drawn). Sizes are 64-bit: a huge image can ask for more than an int holds.
struct TurnCanvas {
    qint64 width = 0;
    qint64 height = 0;
    QPointF upperLeft;
    QPointF upperRight;
    QPointF lowerLeft;
};
TurnCanvas CanvasForTurn(int width, int height, float rest);

}  // namespace corvane
