#pragma once
// The reports of a run cut into shards (--shard K/N): each shard's --json report carries a
// "shard" object with what a merge needs of the whole run, and the place of each note's file in
// the listing; --merge-reports makes of the shards' reports the report the run would have given
// alone: its counts, its notes in the run's order, its verdict.

#include "engine/file_result.h"
#include "engine/run_types.h"
#include "engine/shards.h"

#include <QHash>
#include <QJsonObject>
#include <QStringList>

#include <vector>

namespace corvane {

// What a shard learned of the whole run when it took its share.
struct ShardRecord {
    ShardIndex shard;
    int listed = 0;
    int listedHidden = 0;
    QString fingerprint;
    qint64 bytes = 0;
    int kind = 0;                        // the run's OperationKind
    QHash<QString, qsizetype> position;  // share file -> place in the listing
};

// Adds the "shard" object to a shard's report and an "index" to each note: the place of its file
// in the listing, -1 for a folder the listing could not read.
void AddShardParts(QJsonObject& report, const ShardRecord& record,
                   const std::vector<FileResult>& results, const CombineCounts& combine);

struct MergedReport {
    QString error;  // why the reports do not make one run; empty when they do
    QJsonObject report;
    int exitStatus = 0;
};
// The report of the whole run from the reports of all its shards, in any order.
MergedReport MergeShardReports(const std::vector<QJsonObject>& reports);

// Reads the reports, prints the merged one as JSON and gives the run's exit status.
int MergeReportFiles(const QStringList& paths);

}  // namespace corvane
