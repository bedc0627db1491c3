#pragma once
// Where each output file goes and what it is called: the folder from the output folder (and, when
// the source structure is copied, the source file's place below the source folder), the name from
// the source's stem, the format's extension, the clash strategy and the long-name strategy.
//
// Fixed texts: prefix-fold marker "_CVN_", suffix-fold marker "_CVN", fold label "_CVN_L_".
// Lengths count UTF-16 code units of the file name alone, extension included; a name is too long
// also when its encoded form passes the file system's limit of 255 bytes (a Chinese name of 90
// characters does), so that it folds or is given up instead of failing to write.

#include "engine/batch_settings.h"
#include "engine/enumeration.h"
#include "platform/file_system.h"

#include <QHash>
#include <QString>

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace corvane {

struct OutputPath {
    QString path;
    bool abandoned = false;  // the name is too long and the long-name strategy gives the file up
};

class OutputNamer {
public:
    // Whether something exists under a path (tests count the questions).
    using ExistsCheck = std::function<bool(const QString&)>;

    explicit OutputNamer(const BatchSettings& settings, ExistsCheck exists = PathExists)
        : settings_(settings), exists_(std::move(exists)) {}

    // The folder for the outputs of one source file, created when needed; nullopt when the
    // source file does not lie below the source folder or the folder cannot be made. With the
    // structure copied, the relative part starts at the source folder's own name and keeps every
    // sub-folder below it.
    std::optional<QString> OutputFolderFor(const QString& sourceFile) const;
    // Target path of one output file after the clash and long-name rules.
    OutputPath MakeOutputPath(const QString& folder, const QString& stem,
                              const QString& extension) const;
    // folder + stem + extension, with `text` added before (prefix mode) or after the stem as often
    // as needed until nothing exists under the name.
    QString ResolveClash(const QString& folder, QString stem, const QString& extension,
                         const QString& text, bool prefixMode) const;
    // Shortens a file name longer than the limit to a free name carrying the label "_CVN_L_" and
    // a counter; shorter names come back unchanged. The counter is the first one free, as if
    // counted from 1 each time; but the namer remembers how far the counters of each folded
    // name are known to be taken, so that a run folding many names to one takes time in
    // proportion to their number (a name taken once is taken for the rest of the run: runs only
    // ever add files to their output folder).
    QString FoldLongName(const QString& path, bool prefixMode) const;
    // Longer than the limit in UTF-16 code units, or than the file system allows in bytes.
    bool IsTooLong(const QString& fileName) const;

private:
    // Per folded name (folder, core, extension, side): counters 1 to n were found taken.
    struct FoldCounters {
        std::mutex mutex;
        QHash<QString, int> taken;
    };

    const BatchSettings& settings_;
    const ExistsCheck exists_;
    mutable FoldCounters folds_;  // a memory of what was seen, not state of the names
};

// The names a run has written under the overwrite strategy. Overwrite replaces files that were
// there before the run, never one the run wrote itself, and never a source file of the run that
// has not been read yet (it would be lost, and the run would later read its own output in its
// place): such an output takes the next free counter instead ("x.PNG", "x_1.PNG", "x_2.PNG").
// A source counts as read once the processing thread has taken it, whatever helper threads
// read ahead, so the names are the same whatever the number of workers. A source is recognised
// by its path and by the file it reaches (another spelling of its folder, a link). Thread-safe.
class OutputClaims {
public:
    // The run's source files, in the order they are read; `files` must outlive the claims.
    void ProtectSources(const PathList* files);
    // The first `count` source files have been read.
    void ReadUpTo(std::size_t count);
    // `path`, or the first of path_1, path_2, ... (counter before the extension) that this run
    // has not claimed yet and that is no unread source; claims it. `passedSource` (optional)
    // is set when a name was passed over because it is an unread source.
    QString ClaimFree(const QString& path, bool* passedSource = nullptr);
    // Gives a claim back when nothing was written under it.
    void Release(const QString& path);
    // True when ClaimFree(path) would pass over an unread source now. Claims nothing.
    bool PassesUnreadSource(const QString& path);

private:
    struct Claim {
        QString base;  // the path asked for
        int counter;   // 0: the path itself
    };
    struct IdentityHash {
        std::size_t operator()(const FileIdentity& id) const {
            return std::hash<std::uint64_t>()(id.inode * 31 + id.device);
        }
    };

    struct FreeName {
        QString path;
        int n = 0;                    // its counter; 0: the path itself
        bool passedSource = false;    // an unread source was passed over on the way
        bool allClaimedBelow = true;  // every counter below n is claimed
        int firstUnclaimed = 0;       // while allClaimedBelow: the first counter not claimed
    };
    // The name ClaimFree gives `path` now.
    FreeName FirstFree(const QString& path);
    bool IsUnreadSource(const QString& path);

    std::mutex mutex_;
    QHash<QString, Claim> claimed_;
    // Per path asked for: every counter below this one is claimed.
    QHash<QString, int> firstUnclaimed_;
    const PathList* sources_ = nullptr;
    std::size_t read_ = 0;
    // The last place of each source in the list, by path and by the file it reaches; made when
    // first needed.
    std::optional<QHash<QString, std::size_t>> sourcePaths_;
    std::optional<std::unordered_map<FileIdentity, std::size_t, IdentityHash>> sourceFiles_;
};

// The source path that names a combined image: the entry itself, or the one after it when the
// entry's file name is exactly "Thumbs.db" (`next` is empty when there is none).
QString GroupNameFrom(const QString& entry, const QString& next);

// p up to its last "." + "_" + n + the rest of p: the name of tile n (or "_1" for a last mosaic).
QString InsertCounterBeforeExtension(const QString& path, int n);

}  // namespace corvane
