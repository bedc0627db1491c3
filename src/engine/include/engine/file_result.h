#pragma once
// What became of one source file: how many outputs it gave and, for each thing that went wrong,
// a note with a kind a program can act on and a text a person can read. The pipeline fills one
// per file while it handles that file and records it when the file is done, so that files could
// be handled on several threads, each result on its own.

#include <QString>

#include <vector>

namespace corvane {

enum class NoteKind {
    // Nothing at the path, not a regular file, or the system refused to read it; also a folder
    // the listing could not open (the result's source is then that folder).
    Unreadable,
    NotAnImage,   // no decoder recognises the bytes
    Corrupt,      // recognised, but damaged or truncated
    TooLarge,     // beyond what can be decoded or held, also after rotation or resize
    NameTooLong,  // the output name is too long and the long-name rule gives the file up
    WriteFailed,  // an output could not be written; the text holds the system's reason
    // The file's outputs were written, but without its metadata (what could not be, and why):
    MetadataUnread,     // the source's metadata could not be read, or not in full
    MetadataUnwritten,  // the outputs of a format could not hold it
    // The file ends before its picture does: the outputs hold what the decoder made of it (the
    // rest filled as the decoder fills it), so they are incomplete.
    Truncated,
    // Cut into more blocks across or down than the picture has pixels: no tile can be made.
    CutTooFine,
    // An output took the next counter ("x_1.PNG") because overwriting would have replaced a
    // source file of the run that has not been read yet.
    Renamed,
    ToneMapped,  // the outputs were written from an HDR picture mapped to SDR
};

struct FileNote {
    NoteKind kind = NoteKind::WriteFailed;
    QString text;
};

struct FileResult {
    FileResult() = default;
    explicit FileResult(QString sourceFile) : source(std::move(sourceFile)) {}

    QString source;  // the source file (for a mosaic: the file it is named after)
    int written = 0;
    std::vector<FileNote> notes;

    void Note(NoteKind kind, QString text) { notes.push_back({kind, std::move(text)}); }
    // A note the file does not have yet (the same cause for several outputs is noted once).
    void NoteOnce(NoteKind kind, const QString& text);
    // Nothing written, for a reason other than the metadata (a mosaic's sources write nothing
    // of their own).
    bool ProducedNothing() const;
};

// The kind as programs read it (corvane-batch --json): "unreadable", "not-an-image", "corrupt",
// "too-large", "name-too-long", "write-failed", "metadata-unread", "metadata-unwritten",
// "truncated", "cut-too-fine", "renamed", "tone-mapped".
QString NoteKindName(NoteKind kind);

}  // namespace corvane
