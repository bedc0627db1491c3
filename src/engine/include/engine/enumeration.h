#pragma once
// Listing the source files of a run.
//
// Threads: EnumerateFolder and CountSources run on the counting thread; they poll a stop check
// once per directory entry. The path-list helpers are plain functions usable anywhere.

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace corvane {

using PathList = std::vector<QString>;
// A list that may be absent: the selection lists do not exist until the first Add.
using PathListHolder = std::unique_ptr<PathList>;

// Appends copies of all entries of src to dst, in order. Nothing happens when either is absent.
void AppendPaths(PathList* dst, const PathList* src);
// Destroys the list; the holder afterwards refers to no list.
void ReleasePaths(PathListHolder& holder);

// Orders a list with NaturalLess and removes redundant entries. File mode drops exact
// duplicates. Folder mode trims the entries, drops blank ones, and drops a folder equal to a kept
// one or lying inside one, so no folder is listed twice.
void SortAndDedupePaths(PathList& list, bool folderMode);

// Number of entries that are hidden: the name starts with ".", or the entry cannot be examined.
int CountHiddenPaths(const PathList& list);

// What the listing needs from the run. The listing only notices a stop and gives Stopped; the
// caller reports it once it has finished with every list it writes.
struct ListingControl {
    std::function<bool()> stopped;  // polled once per directory entry
    // The run's output folder: never listed as a source when it lies below a listed folder, so
    // that a run does not take up its own or an earlier run's outputs. Empty: none.
    QString outputFolder;
    // Told of each folder that exists but cannot be listed (no permission), with the system's
    // reason; its files are not listed. Optional.
    std::function<void(const QString& folder, const QString& why)> unreadable = {};
};

enum class ListingResult { Complete, Missing, Stopped };

// Appends the full paths of the files under one folder: the folder's own files first, then its
// sub-folders depth first, each folder's entries in natural order. Hidden files are counted into
// `hidden`; temporary files that an interrupted write left behind are not sources at all.
// Symbolic links to folders are followed, but no folder is listed twice (a link loop ends). A
// folder that cannot be opened is skipped; when it exists, `control.unreadable` is told. The
// folder is taken as typed when something
// exists under that text, trimmed otherwise. On Stop the listing clears `list` and gives
// Stopped.
ListingResult EnumerateFolder(const QString& folder, PathList& list, bool withSubfolders,
                              int& hidden, const ListingControl& control);

// The sources of a run, as the counting thread gathers them.
struct SourceSelection {
    bool multiPath = false;
    QString sourcePath;  // single path
    bool includeSubfolders = false;
    PathListHolder selectedFiles;    // multi path, ordered
    PathListHolder selectedFolders;  // multi path, ordered
    bool multiIncludeSubfolders = false;
};

// Builds the file list of a run. Single path: the listing order. Multi path: the selected files
// and the files of the selected folders, in natural order without duplicates. Consumes the
// selection lists. Complete, Stopped, or Missing when the single source folder is gone.
ListingResult CountSources(SourceSelection& selection, PathList& fileList, int& hidden,
                           const ListingControl& control);

}  // namespace corvane
