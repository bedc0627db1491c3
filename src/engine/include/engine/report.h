#pragma once
// What the window shows of a run's counts: the two progress lines, the bar position, and the
// one-sentence verdict at the end. Pure functions of the counts.

#include "engine/batch_settings.h"
#include "engine/run_types.h"

#include <QString>

namespace corvane {

QString ProgressText(const RunReport& report, OperationKind kind, const CombineCounts& combine);
// 0 to 100; tiles combined for the cut-then-combine kinds, files processed otherwise.
int ProgressPercent(const RunReport& report, OperationKind kind, const CombineCounts& combine);

struct Verdict {
    QString text;
    Colour colour = colours::kRed;
    RunOutcome outcome = RunOutcome::Failed;
};
// The completion sentence of a run that was not stopped.
Verdict CompletionVerdict(const RunReport& report, OperationKind kind,
                          const CombineCounts& combine);

// Status texts of the run itself.
namespace texts {
inline const QString kStart = QStringLiteral("开  始");
inline const QString kPause = QStringLiteral("暂  停");
inline const QString kContinue = QStringLiteral("继  续");
inline const QString kStop = QStringLiteral("停  止");
inline const QString kRunning = QStringLiteral("正在操作");
inline const QString kPaused = QStringLiteral("已暂停");
inline const QString kStopped = QStringLiteral("已停止");
inline const QString kFailed = QStringLiteral("操作失败！");
inline const QString kCounting = QStringLiteral("正在统计文件总数,请稍候... ");
inline const QString kSaveFolderFailed =
    QStringLiteral("创建保存路径失败，请检查保存路径及确认磁盘状况，或者稍候重试。");
}  // namespace texts

}  // namespace corvane
