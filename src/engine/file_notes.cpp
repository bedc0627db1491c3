#include "file_notes.h"

#include "platform/path_text.h"

namespace corvane {

void NoteTruncated(FileResult& result, const LoadError& error) {
    if (!error.truncated.isEmpty()) {
        result.Note(NoteKind::Truncated, error.truncated);
    }
}

void NoteCutTooFine(FileResult& result, const Bitmap* picture, int columns, int rows) {
    if (picture == nullptr || picture->Image().isNull() ||
        (picture->Width() >= columns && picture->Height() >= rows)) {
        return;
    }
    result.NoteOnce(NoteKind::CutTooFine,
                    QStringLiteral("a picture of %1 x %2 pixels cannot be cut into %3 x %4 "
                                   "blocks: no tile was made")
                        .arg(picture->Width())
                        .arg(picture->Height())
                        .arg(columns)
                        .arg(rows));
}

QString RenamedText(const QString& wanted, const QString& written) {
    return QStringLiteral("%1 is a source file this run has not read yet: written as %2 instead")
        .arg(FileNamePart(wanted), FileNamePart(written));
}

FileResult UnreadableFolder(const QString& folder, const QString& why) {
    FileResult result(folder);
    result.Note(NoteKind::Unreadable,
                QStringLiteral("the folder cannot be read, its files are left out: %1").arg(why));
    return result;
}

}  // namespace corvane
