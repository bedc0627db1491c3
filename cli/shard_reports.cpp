#include "shard_reports.h"

#include "engine/batch_settings.h"
#include "engine/report.h"
#include "platform/file_system.h"
#include "run_report.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace corvane {
namespace {

// Notes of a folder the listing could not read: every shard lists, so every shard has them.
constexpr qsizetype kListingNote = -1;

QJsonObject ShardOf(const QJsonObject& report) {
    return report.value(QStringLiteral("shard")).toObject();
}

// The reports make one run: the same listing and settings, every shard once.
QString Inconsistency(const std::vector<QJsonObject>& reports) {
    if (reports.empty()) {
        return QStringLiteral("no report to merge");
    }
    const QJsonObject first = ShardOf(reports.front());
    const int count = first.value(QStringLiteral("count")).toInt();
    std::vector<bool> seen(static_cast<std::size_t>(std::max(count, 0)), false);
    for (const QJsonObject& report : reports) {
        const QJsonObject shard = ShardOf(report);
        if (shard.isEmpty()) {
            return QStringLiteral("a report without its shard (run with --shard K/N --json)");
        }
        if (shard.value(QStringLiteral("count")).toInt() != count ||
            shard.value(QStringLiteral("listing")) != first.value(QStringLiteral("listing"))) {
            return QStringLiteral(
                "the reports come from different runs: other sources, other options, or sources "
                "that changed between the shards' listings");
        }
        const int index = shard.value(QStringLiteral("index")).toInt(-1);
        if (index < 0 || index >= count || seen[static_cast<std::size_t>(index)]) {
            return QStringLiteral("shard %1 of %2 is given twice or does not exist")
                .arg(index)
                .arg(count);
        }
        seen[static_cast<std::size_t>(index)] = true;
    }
    if (reports.size() != static_cast<std::size_t>(count)) {
        return QStringLiteral("%1 of %2 shards given: every shard's report is needed")
            .arg(reports.size())
            .arg(count);
    }
    return {};
}

qsizetype IndexOf(const QJsonValue& note) {
    return static_cast<qsizetype>(note.toObject().value(QStringLiteral("index")).toDouble());
}

// The notes in the run's order: the listing's first (once), then by the place of their file. Each
// shard's notes are in the run's order already; a run that combines has all of them in shard 0,
// mosaics among its files, so the shards are merged, never sorted.
QJsonArray MergedNotes(const std::vector<QJsonObject>& byShard) {
    std::vector<QJsonArray> notes;
    for (std::size_t k = 0; k < byShard.size(); ++k) {
        QJsonArray kept;
        for (const QJsonValue& note : byShard[k].value(QStringLiteral("notes")).toArray()) {
            if (k == 0 || IndexOf(note) != kListingNote) {
                kept.append(note);
            }
        }
        notes.push_back(kept);
    }
    std::vector<qsizetype> next(notes.size(), 0);
    QJsonArray merged;
    for (;;) {
        std::size_t best = notes.size();
        for (std::size_t k = 0; k < notes.size(); ++k) {
            if (next[k] < notes[k].size() &&
                (best == notes.size() ||
                 IndexOf(notes[k][next[k]]) < IndexOf(notes[best][next[best]]))) {
                best = k;
            }
        }
        if (best == notes.size()) {
            return merged;
        }
        QJsonObject note = notes[best][next[best]++].toObject();
        note.remove(QStringLiteral("index"));
        merged.append(note);
    }
}

int Sum(const std::vector<QJsonObject>& reports, const QString& key) {
    qint64 sum = 0;
    for (const QJsonObject& report : reports) {
        sum += report.value(key).toInteger();
    }
    // As the run's own counters stop at the largest int.
    return static_cast<int>(std::min<qint64>(sum, std::numeric_limits<int>::max()));
}

int SumOfShards(const std::vector<QJsonObject>& reports, const QString& key) {
    int sum = 0;
    for (const QJsonObject& report : reports) {
        sum += ShardOf(report).value(key).toInt();
    }
    return sum;
}

}  // namespace

void AddShardParts(QJsonObject& report, const ShardRecord& record,
                   const std::vector<FileResult>& results, const CombineCounts& combine) {
    QJsonArray notes;
    int listingUnwritten = 0;
    for (const FileResult& result : results) {
        const qsizetype index = record.position.value(result.source, kListingNote);
        listingUnwritten += index == kListingNote && result.ProducedNothing() ? 1 : 0;
        for (const FileNote& note : result.notes) {
            notes.append(QJsonObject{{"path", result.source},
                                     {"kind", NoteKindName(note.kind)},
                                     {"text", note.text},
                                     {"index", index}});
        }
    }
    report.insert(QStringLiteral("notes"), notes);
    report.insert(QStringLiteral("shard"),
                  QJsonObject{{"index", record.shard.index},
                              {"count", record.shard.count},
                              {"listed", record.listed},
                              {"listedHidden", record.listedHidden},
                              {"listing", record.fingerprint},
                              {"bytes", record.bytes},
                              {"kind", record.kind},
                              {"attempted", combine.attempted},
                              {"tiles", combine.tiles},
                              {"allTilesCombined", combine.allTilesCombined},
                              {"listingUnwritten", listingUnwritten}});
}

MergedReport MergeShardReports(const std::vector<QJsonObject>& reports) {
    MergedReport merged;
    merged.error = Inconsistency(reports);
    if (!merged.error.isEmpty()) {
        return merged;
    }
    std::vector<QJsonObject> byShard(reports.size());
    for (const QJsonObject& report : reports) {
        byShard[static_cast<std::size_t>(ShardOf(report).value("index").toInt())] = report;
    }
    const QJsonObject first = ShardOf(byShard.front());
    RunReport run;
    run.totalFiles = first.value(QStringLiteral("listed")).toInt();
    run.hiddenFiles = first.value(QStringLiteral("listedHidden")).toInt();
    run.processedFiles = Sum(byShard, QStringLiteral("processed"));
    run.recognisedImages = Sum(byShard, QStringLiteral("recognised"));
    run.savedFiles = Sum(byShard, QStringLiteral("saved"));
    run.expectedFiles = Sum(byShard, QStringLiteral("expected"));
    run.isFinal = true;
    CombineCounts combine;
    combine.combined = Sum(byShard, QStringLiteral("combined"));
    combine.attempted = SumOfShards(byShard, QStringLiteral("attempted"));
    combine.tiles = SumOfShards(byShard, QStringLiteral("tiles"));
    // A run that combines is whole in shard 0.
    combine.allTilesCombined = first.value(QStringLiteral("allTilesCombined")).toBool();
    const auto kind = static_cast<OperationKind>(first.value(QStringLiteral("kind")).toInt());

    Outcome outcome{};
    QString verdict;
    for (const QString& name : {QStringLiteral("refused"), QStringLiteral("stopped")}) {
        for (const QJsonObject& report : byShard) {
            if (verdict.isEmpty() && report.value(QStringLiteral("outcome")).toString() == name) {
                outcome = {name, ExitStatusOf(name)};
                verdict = report.value(QStringLiteral("verdict")).toString();
            }
        }
    }
    if (verdict.isEmpty()) {
        const Verdict judged = CompletionVerdict(run, kind, combine);
        outcome = OutcomeOf(judged.outcome);
        verdict = judged.text;
    }
    const int listingUnwritten = first.value(QStringLiteral("listingUnwritten")).toInt();
    const int unwritten = Sum(byShard, QStringLiteral("unwritten")) -
                          SumOfShards(byShard, QStringLiteral("listingUnwritten")) +
                          listingUnwritten;
    merged.report = ReportJson(outcome, verdict, run, combine.combined, {});
    merged.report.insert(QStringLiteral("unwritten"), unwritten);
    merged.report.insert(QStringLiteral("notes"), MergedNotes(byShard));
    merged.report.insert(QStringLiteral("shards"), static_cast<int>(byShard.size()));
    merged.exitStatus = outcome.exitStatus;
    return merged;
}

int MergeReportFiles(const QStringList& paths) {
    std::vector<QJsonObject> reports;
    for (const QString& path : paths) {
        QFile file;
        QString error;
        if (!OpenRegularFile(path, file, &error)) {
            std::fprintf(stderr, "corvane-batch: %s: %s\n", qPrintable(path), qPrintable(error));
            return kExitRefused;
        }
        // One report per line: a file may hold the reports of several shards (all the output of
        // GNU parallel), or one shard's output with other lines before its report.
        const std::size_t before = reports.size();
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QJsonDocument document = QJsonDocument::fromJson(line.trimmed());
            if (document.isObject()) {
                reports.push_back(document.object());
            }
        }
        if (reports.size() == before) {
            std::fprintf(stderr, "corvane-batch: %s holds no report of corvane-batch --json\n",
                         qPrintable(path));
            return kExitRefused;
        }
    }
    const MergedReport merged = MergeShardReports(reports);
    if (!merged.error.isEmpty()) {
        std::fprintf(stderr, "corvane-batch: %s\n", qPrintable(merged.error));
        return kExitRefused;
    }
    PrintJson(merged.report);
    std::fprintf(stderr, "%s\n", qPrintable(merged.report.value("verdict").toString()));
    return merged.exitStatus;
}

}  // namespace corvane
