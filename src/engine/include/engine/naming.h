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

#include <QSet>
#include <QString>

#include <mutex>
#include <optional>

namespace corvane {

struct OutputPath {
    QString path;
    bool abandoned = false;  // the name is too long and the long-name strategy gives the file up
};

class OutputNamer {
public:
    explicit OutputNamer(const BatchSettings& settings) : settings_(settings) {}

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
    static QString ResolveClash(const QString& folder, QString stem, const QString& extension,
                                const QString& text, bool prefixMode);
    // Shortens a file name longer than the limit to a free name carrying the label "_CVN_L_" and
    // a counter; shorter names come back unchanged.
    QString FoldLongName(const QString& path, bool prefixMode) const;
    // Longer than the limit in UTF-16 code units, or than the file system allows in bytes.
    bool IsTooLong(const QString& fileName) const;

private:
    const BatchSettings& settings_;
};

// The names a run has written under the overwrite strategy. Overwrite replaces files that were
// there before the run, never one the run wrote itself: a second output that would get the same
// name takes the next free counter instead ("x.PNG", "x_1.PNG", "x_2.PNG"). Thread-safe.
class OutputClaims {
public:
    // `path`, or the first of path_1, path_2, ... (counter before the extension) that this run
    // has not claimed yet; claims it.
    QString ClaimFree(const QString& path);
    // Gives a claim back when nothing was written under it.
    void Release(const QString& path);

private:
    std::mutex mutex_;
    QSet<QString> claimed_;
};

// The source path that names a combined image: the entry itself, or the one after it when the
// entry's file name is exactly "Thumbs.db" (`next` is empty when there is none).
QString GroupNameFrom(const QString& entry, const QString& next);

// p up to its last "." + "_" + n + the rest of p: the name of tile n (or "_1" for a last mosaic).
QString InsertCounterBeforeExtension(const QString& path, int n);

}  // namespace corvane
