#pragma once
// File-system queries and changes the engine needs, on QString paths. POSIX underneath on Linux.
// None of these throws; failure is a false result.
//
// Names are encoded as native_names.h says, so names that are not UTF-8 work like any other, and
// paths longer than the system's path limit (deep trees) work too.

#include "platform/atomic_file.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace corvane {

// Something (file, folder, or a symbolic link even when dangling) exists under this name.
bool PathExists(const QString& path);
bool IsDirectory(const QString& path);
bool IsRegularFile(const QString& path);
bool CreateDirectory(const QString& path);

// The one rule for blanks around a typed path: the text as it stands when something exists
// under it, since a name may begin or end with a blank; otherwise the text without the whitespace
// around it. Every place that reads a path the user typed or dropped applies this rule.
QString TrimUnlessExisting(const QString& text);
// The same rule with another test of existence (a listing already read, a test's own).
QString TrimUnlessExisting(const QString& text, const std::function<bool(const QString&)>& exists);
// The folder a typed text names, as a folder path: TrimUnlessExisting, runs of separators
// collapsed, one separator at the end (a blank text gives the root).
QString TypedFolderPath(const QString& text);
// The same, but empty for a blank text.
QString FolderPathOf(const QString& text);

// Creates every missing folder of a folder path and returns true when all exist afterwards.
// The path is rewritten first (on Windows the drive colon rule, then FolderPathOf) and the
// caller's text replaced by the rewritten form, so that files go where folders were made.
bool CreateFolderChain(QString& path);

// Copies a file byte for byte, with its permissions and times, through an AtomicFile: never a
// partial target, and an existing target is replaced only with IfExists::Replace. `outcome`
// (optional) tells why a copy failed, or that the name was taken.
bool CopyFileAtomically(const QString& source, const QString& target, IfExists ifExists,
                        WriteOutcome* outcome = nullptr);

// Opens a regular file for reading and gives its descriptor, or -1 with the reason in `error`.
// Never blocks on a pipe or a device: those are refused as not regular files.
int OpenRegularFile(const QString& path, QString* error);
// The same, opened as `file` (which then owns the descriptor); false with the reason otherwise.
bool OpenRegularFile(const QString& path, QFile& file, QString* error);
// Hands the open descriptor `fd` to `file` for reading. When `file` cannot take it, the
// descriptor is closed here and the reason given in `error`: no failure leaves one open.
bool AdoptDescriptor(QFile& file, int fd, QString* error);

// A path made absolute against the current folder, with "." and ".." resolved as text.
QString AbsolutePath(const QString& path);
// The path with every symbolic link and "." or ".." resolved, as the system resolves it; nullopt
// when nothing is there or the system cannot tell.
std::optional<QString> CanonicalPath(const QString& path);
// Size in bytes of the entry itself (a symbolic link's own, not its target's); nullopt when
// nothing is there.
std::optional<qint64> EntrySize(const QString& path);

// A name under which a file is hidden from ordinary listings: on Linux, one starting with ".".
bool IsHiddenName(const QString& fileName);

// Identity of a file or folder on disk, to notice one reached twice through symbolic links or
// under two spellings of its path.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
using FolderIdentity = FileIdentity;
// The identity of the folder at a path; nullopt when there is none.
std::optional<FolderIdentity> IdentityOf(const QString& path);
// The identity of whatever the path reaches, symbolic links followed; nullopt when nothing.
std::optional<FileIdentity> IdentityOfFile(const QString& path);

// One entry of a folder listing, valid until the next call to Next(). `isDirectory` follows
// symbolic links.
struct DirectoryEntry {
    std::string_view nativeName;  // the name's bytes as the file system holds them
    bool isDirectory = false;

    QString Name() const;
    bool IsHidden() const { return !nativeName.empty() && nativeName.front() == '.'; }
};

// folder + name, built in one allocation for ASCII names (listings make hundreds of thousands).
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
    // Why the folder could not be opened, in the system's words; empty when it is open. A
    // folder that is not there (any more) is Missing(); one the system refuses to list is not.
    const QString& Error() const { return error_; }
    bool Missing() const { return missing_; }
    FolderIdentity Identity() const { return identity_; }
    // Fills `entry` with the next entry; false at the end of the listing or on a read error.
    bool Next(DirectoryEntry& entry);

private:
    void* handle_ = nullptr;  // DIR*, kept out of this header
    FolderIdentity identity_;
    QString error_;
    bool missing_ = false;
};

}  // namespace corvane
