#pragma once
// The final report of a run as programs read it (--json): its outcome, verdict, counts and one
// note per thing that went wrong with a file.

#include "engine/file_result.h"
#include "engine/run_types.h"

#include <QJsonObject>
#include <QString>

#include <vector>

namespace corvane {

enum BatchExit : int {
    kExitComplete = 0,
    kExitPartial = 1,
    kExitFailed = 2,
    kExitRefused = 3,
    kExitStopped = 130,
};

struct Outcome {
    QString name;  // "complete", "partial", "failed", "stopped", "refused"
    int exitStatus;
};
Outcome OutcomeOf(RunOutcome outcome);
// The exit status of an outcome named as OutcomeOf names it.
int ExitStatusOf(const QString& outcomeName);

// Files (and folders) that gave no output at all.
int UnwrittenFiles(const std::vector<FileResult>& results);

// {"outcome", "verdict", "total", "hidden", "processed", "recognised", "saved", "expected",
// "combined", "unwritten", "notes"}; each note {"path", "kind", "text"}, a path keeping the
// undecodable bytes of its name as "\udcXX" escapes.
QJsonObject ReportJson(const Outcome& outcome, const QString& verdict, const RunReport& report,
                       int combined, const std::vector<FileResult>& results);

// One object on one line of standard output.
void PrintJson(const QJsonObject& json);

}  // namespace corvane
