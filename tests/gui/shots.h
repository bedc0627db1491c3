#pragma once
// What the screenshot programs (scripts/shoot-*) share: where the pictures go, and showing a
// window until the X server has drawn it.

#include <QPixmap>
#include <QString>

class QWidget;

namespace corvane::shots {

// The pictures go to the folder named by the first argument, else to docs/; it is created.
void SetFolderFromArguments(int argc, char** argv);
// Saves a picture under that folder and says so on stdout; false when it could not be written.
bool Save(const QPixmap& pixmap, const QString& name);
void ShowAndSettle(QWidget& window);

}  // namespace corvane::shots
