#pragma once
// File-system queries and changes the engine needs, on QString paths. POSIX underneath on Linux.
// None of these throws; failure is a false result.

#include <QString>

#include <cstdint>
#include <functional>
#include <string_view>

namespace corvane {

// Something (file, folder, or a symbolic link even when dangling) exists under this name.
bool PathExists(const QString& path);
bool IsDirectory(const QString& path);
bool IsRegularFile(const QString& path);
bool CreateDirectory(const QString& path);

// Creates every missing folder of a folder path and returns true when all exist afterwards.
// The path is rewritten first (on Windows the drive colon rule, then trimming and normalising)
// and the caller's text replaced by the rewritten form, so that files go where folders were made.
bool CreateFolderChain(QString& path);

// Copies a file byte for byte, with its permissions and times. Never leaves a partial target:
// the bytes go to a temporary name in the target folder, which is then moved into place. Without
// replaceExisting the copy fails when the target exists (and the target is untouched).
bool CopyFileAtomically(const QString& source, const QString& target, bool replaceExisting);

// A name under which a file is hidden from ordinary listings: on Linux, one starting with ".".
bool IsHiddenName(const QString& fileName);

// Identity of a folder on disk, to notice a folder reached twice through symbolic links.
struct FolderIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FolderIdentity&, const FolderIdentity&) = default;
};

// One entry of a folder listing, valid until the next call to Next(). `isDirectory` follows
// symbolic links.
struct DirectoryEntry {
    std::string_view nativeName;  // the name's bytes as the file system holds them
    bool isDirectory = false;

    QString Name() const;
    bool IsHidden() const { return !nativeName.empty() && nativeName.front() == '.'; }
};

// folder + name, built in one allocation (listings make hundreds of thousands of these).
QString JoinPath(const QString& folder, std::string_view nativeName);

// Reads one folder entry by entry, in the order the file system returns them; "." and ".." are
// left out. Cheap per entry: a stat is made only for entries whose type the listing leaves open
// (symbolic links, some file systems).
class DirectoryReader {
public:
    explicit DirectoryReader(const QString& folder);
    ~DirectoryReader();
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    bool IsOpen() const { return handle_ != nullptr; }
    FolderIdentity Identity() const { return identity_; }
    // Fills `entry` with the next entry; false at the end of the listing or on a read error.
    bool Next(DirectoryEntry& entry);

private:
    void* handle_ = nullptr;  // DIR*, kept out of this header
    FolderIdentity identity_;
};

}  // namespace corvane
