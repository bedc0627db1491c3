#pragma once
// Second icons generated from a button's main icon. Black pixels stay black and transparency is
// kept, so the copy has the source's outline.

#include <QImage>

namespace corvane {

// Every non-black pixel becomes the grey level 0.299 R + 0.587 G + 0.114 B (truncated).
QImage GreyIcon(const QImage& icon);
// Every non-black pixel keeps 75 % of each channel (truncated).
QImage DarkenedIcon(const QImage& icon);

}  // namespace corvane
