#pragma once
// The files a run could not make into outputs, for the window: which ones, and why, in Chinese.
// The verdict keeps its fixed wording; this list says what really happened to each file. Pure
// functions over the run's FileResults.

#include "engine/file_result.h"

#include <QString>

#include <functional>
#include <vector>

namespace corvane {

// The Chinese reason of one note, by the note's kind as programs read it (NoteKindName): one row
// of a table per kind, a general reason for a kind the table does not know. `folder` tells that
// the note is about a folder (an unreadable folder whose files were never reached).
QString UnwrittenReason(const QString& kindName, bool folder);

struct UnwrittenFile {
    QString path;
    QString reason;              // every distinct reason of the file, "；" between them
    bool nothingWritten = true;  // false: outputs were written, but incomplete
};

// The files that gave no output, then those whose outputs are incomplete (a picture decoded only
// in part), each in the run's order. `isFolder` tells which paths are folders.
std::vector<UnwrittenFile> UnwrittenFiles(const std::vector<FileResult>& results,
                                          const std::function<bool(const QString&)>& isFolder);

// The status area's link to the list: "查看未产生输出的文件（N）", or "查看输出不完整的文件（N）"
// when every listed file gave some output; empty when there is nothing to list.
QString UnwrittenLinkText(const std::vector<UnwrittenFile>& files);

// The list as the window shows it: a heading with the counts, then one line per file with its
// path and its reason, the files that gave nothing first.
QString UnwrittenListing(const std::vector<UnwrittenFile>& files);

}  // namespace corvane
