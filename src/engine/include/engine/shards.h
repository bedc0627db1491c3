#pragma once
// One run cut into N shards (corvane-batch --shard K/N), each started with its index by a
// scheduler the user already has (GNU parallel, a Slurm job array, a Kubernetes Indexed Job).
// Every shard lists the sources as the whole run would, then processes its share; together the
// shards write what the run writes alone, name for name and byte for byte.
//
// The share is a pure function of the listing, the run's settings and the files' sizes, so that
// every shard computes the same partition without talking to the others:
// - files whose outputs could ever compete for a name in one output folder stay together, in the
//   run's order (NameCompetitionGroups): then no shard's writes change a name another shard picks;
// - a run that combines pictures goes whole to shard 0: which pictures share a mosaic depends on
//   whether every earlier picture decodes, which no listing tells;
// - the groups are spread by bytes, the heaviest first, each to the least loaded shard.
// A shard must never list what another shard wrote: the output folder has to lie apart from every
// listed folder (SharedOutputRefusal says where it does not).
//
// Threads: pure functions, callable anywhere.

#include "engine/batch_settings.h"
#include "engine/enumeration.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

struct ShardIndex {
    int index = 0;  // K, from 0
    int count = 1;  // N
};

// For every file, the index of the first file of its group: files whose outputs could compete
// for a name (the same stem after clash texts, tiles and counters are taken off, or long names
// whose folded forms could meet; compared regardless of case, as a share may ignore it) share a
// group. Coarser than needed where the names' forms are
// unusual (other clash texts with folding, stems holding the fold marker): then a whole output
// folder is one group.
std::vector<std::uint32_t> NameCompetitionGroups(const PathList& files,
                                                 const BatchSettings& settings);

// The shard (0 to count - 1) of every file. `sizes` weighs each file (its bytes).
std::vector<int> AssignShards(const PathList& files, const std::vector<qint64>& sizes,
                              const BatchSettings& settings, int count);

// What a shard keeps of a listing, and what its report needs of the whole.
struct ShardShare {
    PathList files;                     // the share, in the run's order
    std::vector<std::size_t> position;  // of each share file in the whole listing
    int hidden = 0;                     // hidden files in the share
    int listed = 0;                     // files in the whole listing
    int listedHidden = 0;
    qint64 bytes = 0;     // of the share
    QString fingerprint;  // of the listing, the sizes and the settings that decide the partition
};

// The share of one shard. Reads the files' sizes (their entries' own, links not followed).
ShardShare TakeShare(const PathList& listing, int listedHidden, const BatchSettings& settings,
                     ShardIndex shard);

// Why the shards of this run could not work apart, or nullopt when they can: an output folder
// that is, or lies below, a listed folder or a listed file's folder (a later shard would list
// what an earlier one wrote, or overwrite a source another shard still reads). `listedFolders`
// are the folders the run lists.
std::optional<QString> SharedOutputRefusal(const PathList& listing, const PathList& listedFolders,
                                           const BatchSettings& settings);

}  // namespace corvane
