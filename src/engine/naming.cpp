#include "engine/naming.h"

#include "platform/file_system.h"
#include "platform/native_names.h"
#include "platform/path_text.h"

#include <algorithm>

namespace corvane {
namespace {

const QString kPrefixMarker = QStringLiteral("_CVN_");
const QString kSuffixMarker = QStringLiteral("_CVN");
const QString kFoldLabel = QStringLiteral("_CVN_L_");
constexpr qsizetype kWithheld = 16;  // room the fold keeps for the label, counter and extension

// The relative part below the output folder: the source folder's own name, then the file's
// folder below the source folder. (Searching the path for the folder's name instead would find
// it inside another name: "probe" in "/srv/probe/ks/o" for a source folder "o".)
std::optional<QString> RelativeFolder(const QString& sourcePath, const QString& sourceFile) {
    if (!sourceFile.startsWith(sourcePath)) {
        return std::nullopt;
    }
    const QString root = sourcePath.left(sourcePath.size() - 1);
    const QString rootName = root.mid(root.lastIndexOf(kSeparator) + 1);
    return rootName + kSeparator + FolderPart(sourceFile.mid(sourcePath.size()));
}

// The core cut, from the side the fold drops, until the folded name fits the file system.
QString FitBytes(QString core, qsizetype otherBytes, bool keepEnd) {
    while (!core.isEmpty() && otherBytes + NativeNameBytes(core) > kMaxNameBytes) {
        core = keepEnd ? RightUnits(core, core.size() - 1) : LeftUnits(core, core.size() - 1);
    }
    return core;
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
            return {path, IsTooLong(FileNamePart(path))};
    }
    return {path, false};
}

QString OutputNamer::ResolveClash(const QString& folder, QString stem, const QString& extension,
                                  const QString& text, bool prefixMode) const {
    // An empty text would never find a free name.
    const QString& addition = !text.isEmpty() ? text : (prefixMode ? kPrefixMarker : kSuffixMarker);
    QString path = folder + stem + extension;
    while (exists_(path)) {
        stem = prefixMode ? addition + stem : stem + addition;
        path = folder + stem + extension;
    }
    return path;
}

bool OutputNamer::IsTooLong(const QString& fileName) const {
    // Every UTF-16 code unit takes at most 3 bytes: short names need no encoding to tell.
    return fileName.size() > settings_.nameLengthLimit ||
           (fileName.size() * 3 > kMaxNameBytes && NativeNameBytes(fileName) > kMaxNameBytes);
}

QString OutputNamer::FoldLongName(const QString& path, bool prefixMode) const {
    const QString name = FileNamePart(path);
    if (!IsTooLong(name)) {
        return path;
    }
    const QString folder = FolderPart(path);
    const QString extension = FileExtension(name);
    const QString stem = name.left(name.size() - extension.size());
    const qsizetype keep = qMax<qsizetype>(0, settings_.nameLengthLimit - kWithheld);
    const QString core = prefixMode ? FoldCorePrefix(stem, keep) : FoldCoreSuffix(stem, keep);
    const auto candidate = [&](int n) {
        const QString counter = QString::number(n);
        const QString label = prefixMode ? kFoldLabel + counter + u'_' : kFoldLabel + counter;
        const QString fitted =
            FitBytes(core, NativeNameBytes(label) + NativeNameBytes(extension), prefixMode);
        return prefixMode ? folder + label + fitted + extension
                          : folder + fitted + label + extension;
    };
    // Counters up to `taken` were found taken before: the search goes on after them.
    const QString key = folder + u'\0' + core + u'\0' + extension + (prefixMode ? u'<' : u'>');
    const std::lock_guard lock(folds_.mutex);
    int& taken = folds_.taken[key];
    int n = taken + 1;
    QString path_n = candidate(n);
    while (exists_(path_n)) {
        path_n = candidate(++n);
    }
    taken = n - 1;
    return path_n;
}

void OutputClaims::ProtectSources(const PathList* files) {
    const std::lock_guard lock(mutex_);
    if (sources_ == files) {
        return;
    }
    sources_ = files;
    sourcePaths_.reset();
    sourceFiles_.reset();
}

void OutputClaims::ReadUpTo(std::size_t count) {
    const std::lock_guard lock(mutex_);
    read_ = std::max(read_, count);
}

bool OutputClaims::IsUnreadSource(const QString& path) {
    if (sources_ == nullptr || read_ >= sources_->size()) {
        return false;
    }
    // The indexes are made when first needed: only a run that overwrites needs them.
    if (!sourcePaths_) {
        sourcePaths_.emplace();
        sourcePaths_->reserve(static_cast<qsizetype>(sources_->size()));
        for (std::size_t i = 0; i < sources_->size(); ++i) {
            sourcePaths_->insert((*sources_)[i], i);  // the last place wins: it is read last
        }
    }
    // A path read already may still reach a source listed again later under another spelling.
    if (const auto it = sourcePaths_->constFind(path);
        it != sourcePaths_->constEnd() && *it >= read_) {
        return true;
    }
    const std::optional<FileIdentity> file = IdentityOfFile(path);
    if (!file) {
        return false;  // nothing there to lose
    }
    if (!sourceFiles_) {
        // Built once, when an output first meets an existing file: a source already read and
        // replaced since maps to its replacement, which is read already.
        sourceFiles_.emplace();
        for (std::size_t i = 0; i < sources_->size(); ++i) {
            if (const std::optional<FileIdentity> id = IdentityOfFile((*sources_)[i])) {
                (*sourceFiles_)[*id] = i;
            }
        }
    }
    const auto it = sourceFiles_->find(*file);
    return it != sourceFiles_->end() && it->second >= read_;
}

OutputClaims::FreeName OutputClaims::FirstFree(const QString& path) {
    // Counters below `first` are claimed; the search starts there, so that many outputs of one
    // name take time in proportion to their number.
    FreeName free;
    free.n = firstUnclaimed_.value(path, 0);
    for (;; ++free.n) {
        free.path = free.n == 0 ? path : InsertCounterBeforeExtension(path, free.n);
        if (claimed_.contains(free.path)) {
            if (free.allClaimedBelow) {
                free.firstUnclaimed = free.n + 1;
            }
            continue;
        }
        if (!IsUnreadSource(free.path)) {
            return free;
        }
        // Passed over, but free for an output once that source is read.
        free.allClaimedBelow = false;
        free.passedSource = true;
    }
}

QString OutputClaims::ClaimFree(const QString& path, bool* passedSource) {
    const std::lock_guard lock(mutex_);
    const FreeName free = FirstFree(path);
    if (passedSource != nullptr && free.passedSource) {
        *passedSource = true;
    }
    claimed_.insert(free.path, {path, free.n});
    int& first = firstUnclaimed_[path];
    if (free.allClaimedBelow) {
        first = free.n + 1;
    } else if (free.firstUnclaimed > first) {
        first = free.firstUnclaimed;
    }
    return free.path;
}

bool OutputClaims::PassesUnreadSource(const QString& path) {
    const std::lock_guard lock(mutex_);
    return FirstFree(path).passedSource;
}

void OutputClaims::Release(const QString& path) {
    const std::lock_guard lock(mutex_);
    const auto it = claimed_.constFind(path);
    if (it == claimed_.constEnd()) {
        return;
    }
    int& first = firstUnclaimed_[it->base];
    first = std::min(first, it->counter);
    claimed_.erase(it);
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
