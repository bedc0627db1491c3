#include "engine/naming.h"

#include "platform/file_system.h"
#include "platform/path_text.h"

namespace corvane {
namespace {

const QString kPrefixMarker = QStringLiteral("_CVN_");
const QString kSuffixMarker = QStringLiteral("_CVN");
const QString kFoldLabel = QStringLiteral("_CVN_L_");
constexpr qsizetype kWithheld = 16;  // room the fold keeps for the label, counter and extension

// The relative part below the output folder: from the first occurrence of the source folder's
// own name in the file's path up to the file's folder.
std::optional<QString> RelativeFolder(const QString& sourcePath, const QString& sourceFile) {
    const QString root = sourcePath.left(sourcePath.size() - 1);
    const qsizetype lastSeparator = root.lastIndexOf(kSeparator);
    const QString rootName = lastSeparator < 0 ? root : root.mid(lastSeparator + 1);
    const qsizetype at = sourceFile.indexOf(rootName);
    if (at < 0) {
        return std::nullopt;
    }
    return FolderPart(sourceFile.mid(at));
}

QString FoldCorePrefix(const QString& stem, qsizetype keep) {
    QString core = RightUnits(stem, stem.size() - kWithheld);
    const qsizetype marker = core.indexOf(kPrefixMarker);
    if (marker >= 0) {
        core = core.mid(marker + kPrefixMarker.size());
        while (core.startsWith(kPrefixMarker)) {
            core = core.mid(kPrefixMarker.size());
        }
    }
    return core.size() > keep ? RightUnits(core, keep) : core;
}

QString FoldCoreSuffix(const QString& stem, qsizetype keep) {
    QString core = LeftUnits(stem, stem.size() - kWithheld);
    while (core.endsWith(kSuffixMarker)) {
        core.chop(kSuffixMarker.size());
    }
    return core.size() > keep ? LeftUnits(core, keep) : core;
}

}  // namespace

std::optional<QString> OutputNamer::OutputFolderFor(const QString& sourceFile) const {
    if (!settings_.copyFolderStructure) {
        return settings_.savePath;
    }
    const std::optional<QString> relative = RelativeFolder(settings_.sourcePath, sourceFile);
    if (!relative) {
        return std::nullopt;
    }
    QString folder = settings_.savePath + *relative;
    if (!CreateFolderChain(folder)) {
        return std::nullopt;
    }
    return folder;
}

OutputPath OutputNamer::MakeOutputPath(const QString& folder, const QString& stem,
                                       const QString& extension) const {
    switch (settings_.clashStrategy) {
        case ClashStrategy::Overwrite:
            return {folder + stem + extension, false};
        case ClashStrategy::Prefix:
        case ClashStrategy::Suffix:
            break;
    }
    const bool prefix = settings_.clashStrategy == ClashStrategy::Prefix;
    const QString path = ResolveClash(
        folder, stem, extension, prefix ? settings_.clashPrefix : settings_.clashSuffix, prefix);
    switch (settings_.longNameStrategy) {
        case LongNameStrategy::FoldPrefix:
            return {FoldLongName(path, true), false};
        case LongNameStrategy::FoldSuffix:
            return {FoldLongName(path, false), false};
        case LongNameStrategy::Abandon:
            return {path, FileNamePart(path).size() > settings_.nameLengthLimit};
    }
    return {path, false};
}

QString OutputNamer::ResolveClash(const QString& folder, QString stem, const QString& extension,
                                  const QString& text, bool prefixMode) {
    // An empty text would never find a free name.
    const QString& addition = !text.isEmpty() ? text : (prefixMode ? kPrefixMarker : kSuffixMarker);
    QString path = folder + stem + extension;
    while (PathExists(path)) {
        stem = prefixMode ? addition + stem : stem + addition;
        path = folder + stem + extension;
    }
    return path;
}

QString OutputNamer::FoldLongName(const QString& path, bool prefixMode) const {
    const QString name = FileNamePart(path);
    if (name.size() <= settings_.nameLengthLimit) {
        return path;
    }
    const QString folder = FolderPart(path);
    const QString extension = FileExtension(name);
    const QString stem = name.left(name.size() - extension.size());
    const qsizetype keep = qMax<qsizetype>(0, settings_.nameLengthLimit - kWithheld);
    const QString core = prefixMode ? FoldCorePrefix(stem, keep) : FoldCoreSuffix(stem, keep);
    for (int n = 1;; ++n) {
        const QString counter = QString::number(n);
        const QString candidate = prefixMode
                                      ? folder + kFoldLabel + counter + u'_' + core + extension
                                      : folder + core + kFoldLabel + counter + extension;
        if (!PathExists(candidate)) {
            return candidate;
        }
    }
}

QString GroupNameFrom(const QString& entry, const QString& next) {
    return FileNamePart(entry) == QLatin1String("Thumbs.db") ? next : entry;
}

QString InsertCounterBeforeExtension(const QString& path, int n) {
    qsizetype dot = path.lastIndexOf(u'.');
    if (dot < path.lastIndexOf(kSeparator)) {
        dot = -1;  // the dot belongs to a folder name
    }
    const QString counter = u'_' + QString::number(n);
    return dot < 0 ? path + counter : path.left(dot) + counter + path.mid(dot);
}

}  // namespace corvane
