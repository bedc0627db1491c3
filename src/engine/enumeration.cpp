#include "engine/enumeration.h"

#include "platform/atomic_file.h"
#include "platform/file_system.h"
#include "platform/native_names.h"
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

// The entries of one folder share the folder's text: they are compared by what follows it.
void SortNaturally(PathList::iterator first, PathList::iterator last, qsizetype folderLength) {
    std::sort(first, last, [folderLength](const QString& a, const QString& b) {
        return NaturalLess(QStringView(a).mid(folderLength), QStringView(b).mid(folderLength));
    });
}

// Reads one folder: its files into the list, its sub-folders (when wanted) into `subfolders`.
// False when the folder cannot be read or was reached before; `stopped` tells a stop apart.
bool ReadFolder(Listing& listing, const QString& folder, PathList& subfolders, bool& stopped) {
    DirectoryReader reader(folder);
    if (!reader.IsOpen()) {
        // A folder that vanished is no source; one the system refuses to list is reported.
        if (!reader.Missing() && listing.control.unreadable) {
            listing.control.unreadable(folder, reader.Error());
        }
        return false;
    }
    const FolderIdentity id = reader.Identity();
    if (!listing.visited.insert({id.device, id.inode}).second) {
        return false;  // reached again through a link, or the output folder: not listed
    }
    const std::size_t first = listing.list.size();
    DirectoryEntry entry;
    while (!(stopped = listing.control.stopped()) && reader.Next(entry)) {
        if (entry.isDirectory) {
            if (listing.withSubfolders) {
                subfolders.push_back(JoinPath(folder, entry.nativeName) + kSeparator);
            }
            continue;
        }
        if (IsTemporaryName(entry.nativeName)) {
            continue;  // left by a write that was killed: never a source
        }
        listing.list.push_back(JoinPath(folder, entry.nativeName));
        if (entry.IsHidden()) {
            ++listing.hidden;
        }
    }
    SortNaturally(listing.list.begin() + static_cast<std::ptrdiff_t>(first), listing.list.end(),
                  folder.size());
    SortNaturally(subfolders.begin(), subfolders.end(), folder.size());
    return !stopped;
}

// Lists one folder and, when wanted, its sub-folders. The folder is closed before its
// sub-folders are opened, so a deep tree does not hold a descriptor per level.
ListingResult ListFolder(Listing& listing, const QString& folder) {
    PathList subfolders;
    bool stopped = false;
    if (!ReadFolder(listing, folder, subfolders, stopped)) {
        return stopped ? ListingResult::Stopped : ListingResult::Missing;
    }
    for (const QString& subfolder : subfolders) {
        // A sub-folder that cannot be read is skipped; the rest is still listed.
        if (listing.control.stopped() || ListFolder(listing, subfolder) == ListingResult::Stopped) {
            return ListingResult::Stopped;
        }
    }
    return listing.control.stopped() ? ListingResult::Stopped : ListingResult::Complete;
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

// Folders compare as the folder paths they name: "/a/b" lies inside "/a/", but "/a/bc"
// does not lie inside "/a/b" although its text begins with it.
void SortAndDedupeFolders(PathList& list) {
    std::vector<std::pair<QString, QString>> keyed;  // normalised key, entry as it names it
    keyed.reserve(list.size());
    for (const QString& entry : list) {
        const QString key = FolderPathOf(entry);
        if (!key.isEmpty()) {  // a blank entry names no folder
            keyed.emplace_back(key, PathExists(entry) ? entry : entry.trimmed());
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
    const QString path = FolderPathOf(folder);
    const std::optional<FolderIdentity> root = IdentityOf(path);
    if (!root) {
        return ListingResult::Missing;
    }
    Listing listing{list, withSubfolders, hidden, control, {}};
    // The output folder counts as listed already, unless it is the folder being listed.
    const std::optional<FolderIdentity> output = IdentityOf(control.outputFolder);
    if (output && output != root) {
        listing.visited.insert({output->device, output->inode});
    }
    const ListingResult result = ListFolder(listing, path);
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
    std::erase_if(fileList, [](const QString& path) {
        return IsTemporaryName(EncodeNativeName(FileNamePart(path)).toStdString());
    });
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
