#include "path_blanks.h"

#include "platform/file_system.h"
#include "platform/path_text.h"

namespace corvane {

QString TrimBlanks(const QString& path) {
    const QString trimmed = TrimSpaces(path);
    if (trimmed.size() == path.size() || PathExists(path)) {
        return path;
    }
    return trimmed;
}

QString WithTrailingSeparator(const QString& folder) {
    return folder.endsWith(kSeparator) ? folder : folder + kSeparator;
}

}  // namespace corvane
