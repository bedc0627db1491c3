#pragma once
// The fixed texts of the introduction dialog and the contact link: product name and version,
// the project's contact address, and the introduction with features, usage notes and history.
// Written as Unicode in the source so that they read the same on every system.

#include <QString>

namespace corvane {

QString ProductName();     // as in the main window's title
QString ProductVersion();  // "2.2.1"
// The project's contact address: a reserved example domain, so that no real person is mailed.
QString ContactAddress();
// "mailto:" followed by the contact address: the target of the contact link.
QString ContactMailTarget();

// The whole introduction, lines separated by "\n".
QString IntroductionText();

}  // namespace corvane
