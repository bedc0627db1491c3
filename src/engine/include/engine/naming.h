#pragma once
// Where each output file goes and what it is called: the folder from the output folder (and, when
// the source structure is copied, the source file's place below the source folder), the name from
// the source's stem, the format's extension, the clash strategy and the long-name strategy.
//
// Fixed texts: prefix-fold marker "_CVN_", suffix-fold marker "_CVN", fold label "_CVN_L_".
// Lengths count UTF-16 code units of the file name alone, extension included.

#include "engine/batch_settings.h"

#include <QString>

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
    // source file does not lie below the source folder's name or the folder cannot be made.
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

private:
    const BatchSettings& settings_;
};

// The source path that names a combined image: the entry itself, or the one after it when the
// entry's file name is exactly "Thumbs.db" (`next` is empty when there is none).
QString GroupNameFrom(const QString& entry, const QString& next);

// p up to its last "." + "_" + n + the rest of p: the name of tile n (or "_1" for a last mosaic).
QString InsertCounterBeforeExtension(const QString& path, int n);

}  // namespace corvane
