#pragma once
// What the screenshot programs (scripts/shoot-*) share: where the pictures go, and showing a
// window until the X server has drawn it.

#include <QPixmap>
#include <QRect>
#include <QString>

class QScreen;
class QWidget;

namespace corvane::shots {

// The pictures go to the folder named by the first argument, else to docs/; it is created.
void SetFolderFromArguments(int argc, char** argv);
// Saves a picture under that folder and says so on stdout; false when it could not be written.
bool Save(const QPixmap& pixmap, const QString& name);
void ShowAndSettle(QWidget& window);
// The screen as a person sees it (the whole of it, or `area` in the screen's coordinates): what
// the X server shows, after every shown window has been drawn into it. Empty when a shown window
// never became exposed.
QPixmap GrabScreen(QScreen* screen, const QRect& area = {});

}  // namespace corvane::shots
