#pragma once
// The program's own icons, from the resources compiled into the ui library.

#include <QIcon>
#include <QPixmap>

namespace corvane {

// The application icon at every rendered size.
QIcon ApplicationIcon();
// The introduction button's icon at its own size (24 pixels).
QPixmap IntroductionIcon();

}  // namespace corvane
