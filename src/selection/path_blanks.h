#pragma once
// Blanks around paths. Paths that were typed or built from display texts are trimmed; on Linux,
// though, a file name may begin or end with a space, so a path that names something as it stands
// is kept whole.

#include <QString>

namespace corvane {

// Removes spaces at both ends, unless nothing would change or the untrimmed path exists.
QString TrimBlanks(const QString& path);

// The folder with one separator appended, unless it already ends with one.
QString WithTrailingSeparator(const QString& folder);

}  // namespace corvane
