#pragma once
// One whole run of corvane-batch: arguments to form, validation, capture, the run controller and
// the pipeline, the report and the exit status. Needs a QGuiApplication (text drawing).

#include "run_report.h"

#include <QStringList>

namespace corvane {

// Runs with the arguments (without the program name) and gives the exit status. SIGINT and
// SIGTERM stop the run as the Stop button does.
int RunBatch(const QStringList& arguments);

}  // namespace corvane
