#pragma once
// --files-from: a list of files that a pipeline already holds, from a file or standard input.

#include "engine/enumeration.h"

#include <QString>

namespace corvane {

// Reads the names in `source` ("-" for standard input): separated by NUL bytes when the list
// holds one (find -print0), by line breaks otherwise; empty names are skipped. Names are bytes:
// whatever is not UTF-8 keeps its bytes. Relative names are taken from the current folder.
// False with the reason in `error` when the list cannot be read.
bool ReadFileList(const QString& source, PathList& files, QString* error);

}  // namespace corvane
