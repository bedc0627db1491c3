#include "engine/report.h"

#include <QCoreApplication>

namespace corvane {
namespace {

bool CombinesTiles(OperationKind kind) {
    return kind == OperationKind::CutCountCombine || kind == OperationKind::CutCellCombine;
}

// The three kinds of verdict: each outcome has its own colour.
Verdict Complete() {
    return {QCoreApplication::translate("corvane", "操作全部完成！"), colours::kComplete,
            RunOutcome::Complete};
}
Verdict Partial(const QString& reason) {
    return {QCoreApplication::translate("corvane", "操作部分完成！") + reason, colours::kPartial,
            RunOutcome::Partial};
}
Verdict Failure(const QString& reason = {}) {
    return {texts::kFailed + reason, colours::kRed, RunOutcome::Failed};
}

Verdict CombineVerdict(const RunReport& r, const CombineCounts& c) {
    const int S = r.savedFiles;
    const int E = r.expectedFiles;
    // Only a run that reached every file is complete: one that could not even begin (its first
    // output folder failed) has nothing combined either, and is a failure.
    const bool reachedAll = r.processedFiles == r.totalFiles;
    if (reachedAll &&
        ((S == E && c.combined == c.attempted) || (c.combined == 0 && c.attempted == 0))) {
        return Complete();
    }
    if (S == E && c.attempted > 0 && c.combined > 0 && c.combined < c.attempted) {
        return Partial(QCoreApplication::translate("corvane", "因为内存不足，不能合并更多图片。"));
    }
    return Failure();
}

}  // namespace

QString ProgressText(const RunReport& r, OperationKind kind, const CombineCounts& combine) {
    QString text =
        QCoreApplication::translate("corvane", "文件总数： %1  （其中有隐藏文件数： %2 ） ")
            .arg(r.totalFiles)
            .arg(r.hiddenFiles) +
        QStringLiteral("\r\n");
    text += QCoreApplication::translate(
                "corvane", "已处理文件数： %1；     可识别图片文件数： %2；     已保存文件数： %3")
                .arg(r.processedFiles)
                .arg(r.recognisedImages)
                .arg(r.savedFiles);
    if (r.isFinal) {
        text += QCoreApplication::translate("corvane", "；     应保存文件数： %1；")
                    .arg(r.expectedFiles);
    }
    if (CombinesTiles(kind)) {
        text += QCoreApplication::translate("corvane", "     已合并图片数： %1；")
                    .arg(combine.combined);
    }
    return text;
}

int ProgressPercent(const RunReport& r, OperationKind kind, const CombineCounts& combine) {
    const double done = CombinesTiles(kind) ? combine.combined : r.processedFiles;
    const double all = CombinesTiles(kind) ? combine.tiles : r.totalFiles;
    if (all == 0) {
        return 0;
    }
    return static_cast<int>(done * 100.0 / all);
}

Verdict CompletionVerdict(const RunReport& r, OperationKind kind, const CombineCounts& combine) {
    if (kind == OperationKind::Combine) {
        return CombineVerdict(r, combine);
    }
    const int S = r.savedFiles;
    const int E = r.expectedFiles;
    const int T = r.totalFiles;
    const int P = r.processedFiles;
    if (E == S && T == P) {
        if (CombinesTiles(kind) && !combine.allTilesCombined) {
            return Partial(QCoreApplication::translate(
                "corvane",
                "保存文件中的部分图像信息已丢失。可能原因：源图过多或过大；"
                "\"切割\"/\"合并\"设置中的整数设置过大。"));
        }
        return Complete();
    }
    if (S <= 0 && E > 0) {
        return Failure(
            QCoreApplication::translate("corvane",
                                        "文件保存失败！可能原因：待保存图片太大，当前版本不能保存；"
                                        "或者磁盘空间不足等原因；"));
    }
    if (S > 0 && E != S) {
        return Partial(QCoreApplication::translate(
            "corvane", "可能原因：待保存的图片太大，当前版本不能保存。"));
    }
    if (P > 0 && T != P) {
        return Partial(QCoreApplication::translate(
            "corvane", "可能原因：有些文件的信息没有获取到；合并后图片太大，当前版本不能保存。"));
    }
    return Failure();
}

}  // namespace corvane
