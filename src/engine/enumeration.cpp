#include "engine/enumeration.h"

#include "platform/file_system.h"
#include "platform/natural_order.h"
#include "platform/path_text.h"

#include <QSet>

#include <algorithm>
#include <set>
#include <utility>

namespace corvane {
namespace {

using VisitedFolders = std::set<std::pair<std::uint64_t, std::uint64_t>>;

struct Listing {
    PathList& list;
    bool withSubfolders;
    int& hidden;
    const ListingControl& control;
    VisitedFolders visited;
};

// Lists one folder and, when wanted, its sub-folders. Only the call that notices the stop
// reports it; the callers above it pass Stopped on.
ListingResult ListFolder(Listing& listing, const QString& folder) {
    DirectoryReader reader(folder);
    if (!reader.IsOpen()) {
        return ListingResult::Missing;
    }
    const FolderIdentity id = reader.Identity();
    if (!listing.visited.insert({id.device, id.inode}).second) {
        return ListingResult::Complete;  // reached again through a link: listed already
    }
    PathList subfolders;
    DirectoryEntry entry;
    bool stopped = false;
    while (!(stopped = listing.control.stopped()) && reader.Next(entry)) {
        if (entry.isDirectory) {
            if (listing.withSubfolders) {
                subfolders.push_back(JoinPath(folder, entry.nativeName) + kSeparator);
            }
            continue;
        }
        listing.list.push_back(JoinPath(folder, entry.nativeName));
        if (entry.IsHidden()) {
            ++listing.hidden;
        }
    }
    for (const QString& subfolder : subfolders) {
        if (stopped) {
            break;
        }
        // A sub-folder that cannot be read is skipped; the rest is still listed.
        if (ListFolder(listing, subfolder) == ListingResult::Stopped) {
            return ListingResult::Stopped;
        }
        stopped = listing.control.stopped();
    }
    if (stopped) {
        listing.control.reportStop();
        return ListingResult::Stopped;
    }
    return ListingResult::Complete;
}

}  // namespace

void AppendPaths(PathList* dst, const PathList* src) {
    if (dst != nullptr && src != nullptr) {
        dst->insert(dst->end(), src->begin(), src->end());
    }
}

void ReleasePaths(PathListHolder& holder) {
    holder.reset();
}

namespace {

// True when `key` (a normalised folder path) or one of the folders above it was kept already.
bool InsideKeptFolder(const QString& key, const QSet<QString>& kept) {
    for (qsizetype at = key.indexOf(kSeparator, 1); at >= 0; at = key.indexOf(kSeparator, at + 1)) {
        if (kept.contains(key.left(at + 1))) {
            return true;
        }
    }
    return false;
}

// Folders compare as trimmed, normalised folder paths: "/a/b" lies inside "/a/", but "/a/bc"
// does not lie inside "/a/b" although its text begins with it.
void SortAndDedupeFolders(PathList& list) {
    std::vector<std::pair<QString, QString>> keyed;  // normalised key, trimmed entry
    keyed.reserve(list.size());
    for (const QString& entry : list) {
        const QString trimmed = entry.trimmed();
        if (!trimmed.isEmpty()) {  // names no folder
            keyed.emplace_back(NormalizeFolderPath(trimmed), trimmed);
        }
    }
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& a, const auto& b) { return NaturalLess(a.first, b.first); });
    QSet<QString> keptKeys;
    list.clear();
    for (auto& [key, entry] : keyed) {
        if (!InsideKeptFolder(key, keptKeys)) {
            keptKeys.insert(key);
            list.push_back(std::move(entry));
        }
    }
}

}  // namespace

void SortAndDedupePaths(PathList& list, bool folderMode) {
    if (list.size() < 2) {
        return;
    }
    if (folderMode) {
        SortAndDedupeFolders(list);
        return;
    }
    std::sort(list.begin(), list.end(), NaturalLess);
    list.erase(std::unique(list.begin(), list.end()), list.end());
}

int CountHiddenPaths(const PathList& list) {
    return static_cast<int>(std::count_if(list.begin(), list.end(), [](const QString& path) {
        return IsHiddenName(FileNamePart(path)) || !PathExists(path);
    }));
}

ListingResult EnumerateFolder(const QString& folder, PathList& list, bool withSubfolders,
                              int& hidden, const ListingControl& control) {
    const QString trimmed = folder.trimmed();
    if (trimmed.isEmpty() || !IsDirectory(trimmed)) {
        return ListingResult::Missing;
    }
    Listing listing{list, withSubfolders, hidden, control, {}};
    const ListingResult result = ListFolder(listing, NormalizeFolderPath(trimmed));
    if (result == ListingResult::Stopped) {
        list.clear();
        list.shrink_to_fit();
    }
    return result;
}

ListingResult CountSources(SourceSelection& selection, PathList& fileList, int& hidden,
                           const ListingControl& control) {
    fileList.clear();
    hidden = 0;
    if (!selection.multiPath) {
        return EnumerateFolder(selection.sourcePath, fileList, selection.includeSubfolders, hidden,
                               control);
    }
    AppendPaths(&fileList, selection.selectedFiles.get());
    ReleasePaths(selection.selectedFiles);
    hidden = CountHiddenPaths(fileList);
    ListingResult result = ListingResult::Complete;
    if (selection.selectedFolders) {
        for (const QString& folder : *selection.selectedFolders) {
            PathList found;
            const ListingResult one =
                EnumerateFolder(folder, found, selection.multiIncludeSubfolders, hidden, control);
            if (one == ListingResult::Stopped) {
                result = one;
                break;
            }
            AppendPaths(&fileList, &found);  // a missing folder adds nothing
        }
    }
    ReleasePaths(selection.selectedFolders);
    if (result == ListingResult::Complete) {
        SortAndDedupePaths(fileList, false);
    }
    return result;
}

}  // namespace corvane
