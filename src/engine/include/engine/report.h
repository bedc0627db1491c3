#pragma once
// What the window shows of a run's counts: the two progress lines, the bar position, and the
// one-sentence verdict at the end. Pure functions of the counts.

#include "engine/batch_settings.h"
#include "engine/run_types.h"
#include "engine/translated_text.h"

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
inline constexpr TranslatedText kStart{QT_TRANSLATE_NOOP("corvane", "开  始")};
inline constexpr TranslatedText kPause{QT_TRANSLATE_NOOP("corvane", "暂  停")};
inline constexpr TranslatedText kContinue{QT_TRANSLATE_NOOP("corvane", "继  续")};
inline constexpr TranslatedText kStop{QT_TRANSLATE_NOOP("corvane", "停  止")};
inline constexpr TranslatedText kRunning{QT_TRANSLATE_NOOP("corvane", "正在操作")};
inline constexpr TranslatedText kPaused{QT_TRANSLATE_NOOP("corvane", "已暂停")};
inline constexpr TranslatedText kStopped{QT_TRANSLATE_NOOP("corvane", "已停止")};
inline constexpr TranslatedText kFailed{QT_TRANSLATE_NOOP("corvane", "操作失败！")};
inline constexpr TranslatedText kCounting{
    QT_TRANSLATE_NOOP("corvane", "正在统计文件总数,请稍候... ")};
inline constexpr TranslatedText kSaveFolderFailed{
    QT_TRANSLATE_NOOP("corvane", "创建保存路径失败，请检查保存路径及确认磁盘状况，或者稍候重试。")};
}  // namespace texts

}  // namespace corvane
