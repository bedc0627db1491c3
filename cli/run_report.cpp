#include "run_report.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cstdio>

namespace corvane {

Outcome OutcomeOf(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Complete:
            return {QStringLiteral("complete"), kExitComplete};
        case RunOutcome::Partial:
            return {QStringLiteral("partial"), kExitPartial};
        case RunOutcome::Stopped:
            return {QStringLiteral("stopped"), kExitStopped};
        case RunOutcome::Refused:
            return {QStringLiteral("refused"), kExitRefused};
        case RunOutcome::Failed:
        case RunOutcome::None:
            break;
    }
    return {QStringLiteral("failed"), kExitFailed};
}

int ExitStatusOf(const QString& outcomeName) {
    for (const RunOutcome outcome :
         {RunOutcome::Complete, RunOutcome::Partial, RunOutcome::Stopped, RunOutcome::Refused}) {
        if (OutcomeOf(outcome).name == outcomeName) {
            return OutcomeOf(outcome).exitStatus;
        }
    }
    return kExitFailed;
}

int UnwrittenFiles(const std::vector<FileResult>& results) {
    return static_cast<int>(std::count_if(results.begin(), results.end(),
                                          [](const FileResult& r) { return r.ProducedNothing(); }));
}

QJsonObject ReportJson(const Outcome& outcome, const QString& verdict, const RunReport& report,
                       int combined, const std::vector<FileResult>& results) {
    QJsonArray notes;
    for (const FileResult& result : results) {
        for (const FileNote& note : result.notes) {
            notes.append(QJsonObject{
                {"path", result.source}, {"kind", NoteKindName(note.kind)}, {"text", note.text}});
        }
    }
    return QJsonObject{
        {"outcome", outcome.name},
        {"verdict", verdict},
        {"total", report.totalFiles},
        {"hidden", report.hiddenFiles},
        {"processed", report.processedFiles},
        {"recognised", report.recognisedImages},
        {"saved", report.savedFiles},
        {"expected", report.expectedFiles},
        {"combined", combined},
        {"unwritten", UnwrittenFiles(results)},
        {"notes", notes},
    };
}

void PrintJson(const QJsonObject& json) {
    std::printf("%s\n", QJsonDocument(json).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

}  // namespace corvane
