// The shares of a run cut into shards: groups of competing files spread by bytes, the share of
// one shard with what its report needs of the whole, and the check that shards writing into one
// output folder cannot see each other's outputs as sources.

#include "engine/shards.h"

#include "platform/file_system.h"
#include "platform/path_text.h"

#include <QSet>

#include <algorithm>
#include <functional>
#include <queue>

namespace corvane {
namespace {

// What a file costs besides its bytes (opening, naming, writing): a share of many small files is
// not free.
constexpr qint64 kFileCost = 4096;

bool CombinesPictures(const BatchSettings& settings) {
    const OperationKind kind = settings.operationKind;
    return kind == OperationKind::Combine || kind == OperationKind::CutCountCombine ||
           kind == OperationKind::CutCellCombine;
}

class Fingerprint {
public:
    void Add(QStringView text) {
        for (const QChar c : text) {
            Mix(c.unicode());
        }
        Mix(0x10000);  // ends the text, so that "ab" + "c" differs from "a" + "bc"
    }
    void Add(qint64 number) { Mix(static_cast<std::uint64_t>(number)); }
    QString Hex() const { return QString::number(hash_, 16).rightJustified(16, u'0'); }

private:
    void Mix(std::uint64_t value) { hash_ = (hash_ ^ value) * 0x100000001b3ULL; }
    std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

// Everything the partition depends on besides the listing: shards started with different options
// would cut the run differently.
void AddSettings(Fingerprint& print, const BatchSettings& s) {
    print.Add(s.savePath);
    print.Add(s.sourcePath);
    print.Add(qint64(s.copyFolderStructure) | qint64(s.sameAsSource) << 1);
    print.Add(qint64(s.operationKind));
    print.Add(qint64(s.clashStrategy));
    print.Add(s.clashPrefix);
    print.Add(s.clashSuffix);
    print.Add(qint64(s.longNameStrategy));
    print.Add(s.nameLengthLimit);
    print.Add(qint64(s.cutColumns) << 32 | s.cutRows);
    for (const OutputFormat& format : s.formats) {
        print.Add(format.extension);
    }
}

}  // namespace

std::vector<int> AssignShards(const PathList& files, const std::vector<qint64>& sizes,
                              const BatchSettings& settings, int count) {
    std::vector<int> shard(files.size(), 0);
    if (count <= 1 || CombinesPictures(settings)) {
        return shard;  // a run that combines goes whole to shard 0
    }
    const std::vector<std::uint32_t> group = NameCompetitionGroups(files, settings);
    std::vector<qint64> weight(files.size(), 0);
    for (std::size_t i = 0; i < files.size(); ++i) {
        weight[group[i]] += std::max<qint64>(i < sizes.size() ? sizes[i] : 0, 0) + kFileCost;
    }
    std::vector<std::uint32_t> roots;
    for (std::uint32_t i = 0; i < files.size(); ++i) {
        if (group[i] == i) {
            roots.push_back(i);
        }
    }
    // The heaviest group first, each to the least loaded shard; ties by position, then by shard.
    std::sort(roots.begin(), roots.end(), [&](std::uint32_t a, std::uint32_t b) {
        return weight[a] != weight[b] ? weight[a] > weight[b] : a < b;
    });
    using Load = std::pair<qint64, int>;
    std::priority_queue<Load, std::vector<Load>, std::greater<>> loads;
    for (int k = 0; k < count; ++k) {
        loads.push({0, k});
    }
    for (const std::uint32_t root : roots) {
        const auto [load, k] = loads.top();
        loads.pop();
        shard[root] = k;
        loads.push({load + weight[root], k});
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        shard[i] = shard[group[i]];
    }
    return shard;
}

ShardShare TakeShare(const PathList& listing, int listedHidden, const BatchSettings& settings,
                     ShardIndex shard) {
    ShardShare share;
    share.listed = static_cast<int>(listing.size());
    share.listedHidden = listedHidden;
    std::vector<qint64> sizes(listing.size(), 0);
    Fingerprint print;
    AddSettings(print, settings);
    print.Add(listedHidden);
    for (std::size_t i = 0; i < listing.size(); ++i) {
        sizes[i] = EntrySize(listing[i]).value_or(0);
        print.Add(listing[i]);
        print.Add(sizes[i]);
    }
    share.fingerprint = print.Hex();
    const std::vector<int> shards = AssignShards(listing, sizes, settings, shard.count);
    for (std::size_t i = 0; i < listing.size(); ++i) {
        if (shards[i] != shard.index) {
            continue;
        }
        share.files.push_back(listing[i]);
        share.position.push_back(i);
        share.bytes += sizes[i];
        if (IsHiddenName(FileNamePart(listing[i]))) {
            ++share.hidden;
        }
    }
    return share;
}

std::optional<QString> SharedOutputRefusal(const PathList& listing, const PathList& listedFolders,
                                           const BatchSettings& settings) {
    const std::optional<QString> output = CanonicalPath(settings.savePath);
    if (!output) {
        return std::nullopt;  // nothing there yet: nothing listed can lie in it
    }
    const QString below = *output == QStringLiteral("/") ? *output : *output + kSeparator;
    // Outputs go to the output folder itself, and below it when the structure is copied.
    const auto inOutput = [&](const QString& folder) {
        const std::optional<QString> path = CanonicalPath(folder);
        return path &&
               (*path == *output || (settings.copyFolderStructure && path->startsWith(below)));
    };
    const auto refusal = [&](const QString& folder) {
        return QStringLiteral(
                   "shards need an output folder apart from the sources: %1 is listed and lies in "
                   "the output folder %2, so a shard would list or replace what another one wrote")
            .arg(folder, settings.savePath);
    };
    for (const QString& folder : listedFolders) {
        if (inOutput(folder)) {
            return refusal(folder);
        }
    }
    QSet<QString> seen;
    QStringView last;
    for (const QString& file : listing) {
        const QStringView folder = QStringView(file).left(file.lastIndexOf(kSeparator) + 1);
        if (folder == last) {
            continue;
        }
        last = folder;
        const QString text = folder.toString();
        if (!seen.contains(text)) {
            seen.insert(text);
            if (inOutput(text)) {
                return refusal(text);
            }
        }
    }
    return std::nullopt;
}

}  // namespace corvane
