#include "path_blanks.h"

#include "platform/file_system.h"
#include "platform/path_text.h"

namespace corvane {

// The program's one keep-or-trim rule, so the choosers treat a typed path as the window does.
QString TrimBlanks(const QString& path) {
    return TrimUnlessExisting(path);
}

QString WithTrailingSeparator(const QString& folder) {
    return folder.endsWith(kSeparator) ? folder : folder + kSeparator;
}

}  // namespace corvane
