#pragma once
// The notes the run adds to a file's result for what it met on the way, with their texts for a
// person. Private to the engine.

#include "engine/file_result.h"
#include "imaging/image_processor.h"

#include <QString>

namespace corvane {

// Notes that the picture was decoded only in part, when the loader says so.
void NoteTruncated(FileResult& result, const LoadError& error);
// Notes that cutting `picture` into `columns` x `rows` blocks can make no tile, because it has
// fewer pixels across or down than that.
void NoteCutTooFine(FileResult& result, const Bitmap* picture, int columns, int rows);
// The text of a Renamed note: `wanted` was kept for the source file under that name.
QString RenamedText(const QString& wanted, const QString& written);
// What became of a folder the listing could not open: an unreadable note with the system's
// reason, and nothing written.
FileResult UnreadableFolder(const QString& folder, const QString& why);

}  // namespace corvane
