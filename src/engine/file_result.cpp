#include "engine/file_result.h"

#include <algorithm>

namespace corvane {
namespace {

// Notes that tell about written outputs, not about outputs missing.
bool IsAboutOutputs(const FileNote& note) {
    return note.kind == NoteKind::MetadataUnread || note.kind == NoteKind::MetadataUnwritten ||
           note.kind == NoteKind::ToneMapped;
}

}  // namespace

void FileResult::NoteOnce(NoteKind kind, const QString& text) {
    const bool noted = std::any_of(notes.begin(), notes.end(), [&](const FileNote& note) {
        return note.kind == kind && note.text == text;
    });
    if (!noted) {
        Note(kind, text);
    }
}

bool FileResult::ProducedNothing() const {
    return written == 0 && !std::all_of(notes.begin(), notes.end(), IsAboutOutputs);
}

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
        case NoteKind::MetadataUnread:
            return QStringLiteral("metadata-unread");
        case NoteKind::MetadataUnwritten:
            return QStringLiteral("metadata-unwritten");
        case NoteKind::Truncated:
            return QStringLiteral("truncated");
        case NoteKind::CutTooFine:
            return QStringLiteral("cut-too-fine");
        case NoteKind::Renamed:
            return QStringLiteral("renamed");
        case NoteKind::ToneMapped:
            return QStringLiteral("tone-mapped");
        case NoteKind::WriteFailed:
            break;
    }
    return QStringLiteral("write-failed");
}

}  // namespace corvane
