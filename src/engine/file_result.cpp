#include "engine/file_result.h"

namespace corvane {

QString NoteKindName(NoteKind kind) {
    switch (kind) {
        case NoteKind::Unreadable:
            return QStringLiteral("unreadable");
        case NoteKind::NotAnImage:
            return QStringLiteral("not-an-image");
        case NoteKind::Corrupt:
            return QStringLiteral("corrupt");
        case NoteKind::TooLarge:
            return QStringLiteral("too-large");
        case NoteKind::NameTooLong:
            return QStringLiteral("name-too-long");
        case NoteKind::WriteFailed:
            break;
    }
    return QStringLiteral("write-failed");
}

}  // namespace corvane
