#pragma once
// The classic 3-D look of the owner-drawn controls, in palette colours: Light is the highlight,
// Midlight the light 3-D colour, Dark the shadow and Shadow the dark shadow.

#include <QColor>
#include <QPalette>
#include <QRect>
#include <QString>

class QPainter;

namespace corvane {

// A one-pixel ring: top and left in `topLeft`, bottom and right in `bottomRight`.
void DrawBevel(QPainter& painter, const QRect& r, QColor topLeft, QColor bottomRight);
// Two-pixel raised and sunken edges round r.
void DrawRaisedEdge(QPainter& painter, const QRect& r, const QPalette& palette);
void DrawSunkenEdge(QPainter& painter, const QRect& r, const QPalette& palette);
// A one-pixel outline.
void DrawFrame(QPainter& painter, const QRect& r, QColor colour);
// A dotted rectangle, every other pixel set.
void DrawFocusMark(QPainter& painter, const QRect& r, QColor colour);
// Disabled text: once one pixel right and down in the highlight colour, then in place in the
// shadow colour.
void DrawEmbossedText(QPainter& painter, const QRect& r, int flags, const QString& text,
                      const QPalette& palette);

}  // namespace corvane
