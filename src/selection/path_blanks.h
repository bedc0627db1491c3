#pragma once
// Blanks around paths. The design trims paths that were typed or built from display texts; on
// Linux, though, a file name may begin or end with a space, so a path that names something as it
// stands is kept whole.

#include <QString>

namespace corvane {

// Removes spaces at both ends, unless nothing would change or the untrimmed path exists.
QString TrimBlanks(const QString& path);

// The folder with one separator appended, unless it already ends with one.
QString WithTrailingSeparator(const QString& folder);

}  // namespace corvane
