#include "ui/unwritten_files.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <array>

namespace corvane {
namespace {

enum class About { Any, Folder };

struct ReasonRow {
    const char16_t* kind;
    About about;
    const char* reason;      // UTF-8, translated where it is shown
    bool withDetail;         // the engine's own words follow (the system's error, the decoder's)
    bool listedWhenWritten;  // the file is listed even though it gave output
};

// One row per kind of note; a new kind of note is one more row.
constexpr std::array kReasons = {
    ReasonRow{u"unreadable", About::Folder,
              QT_TRANSLATE_NOOP("corvane", "无法读取的文件夹，其中的文件都没有处理"), true, false},
    ReasonRow{u"unreadable", About::Any,
              QT_TRANSLATE_NOOP("corvane", "无法读取（文件不存在、不是普通文件或没有读取权限）"),
              true, false},
    ReasonRow{u"not-an-image", About::Any, QT_TRANSLATE_NOOP("corvane", "不是可以识别的图片"),
              false, false},
    ReasonRow{u"corrupt", About::Any, QT_TRANSLATE_NOOP("corvane", "图片已损坏，无法解码"), true,
              false},
    ReasonRow{u"too-large", About::Any, QT_TRANSLATE_NOOP("corvane", "图片太大，无法处理"), false,
              false},
    ReasonRow{u"name-too-long", About::Any,
              QT_TRANSLATE_NOOP("corvane", "输出文件名超长，按设置放弃存储"), false, false},
    ReasonRow{u"write-failed", About::Any, QT_TRANSLATE_NOOP("corvane", "写入失败"), true, false},
    ReasonRow{u"metadata-unread", About::Any,
              QT_TRANSLATE_NOOP("corvane", "图像信息（元数据）无法读取"), true, false},
    ReasonRow{u"metadata-unwritten", About::Any,
              QT_TRANSLATE_NOOP("corvane", "图像信息（元数据）无法写入"), true, false},
    ReasonRow{u"truncated", About::Any,
              QT_TRANSLATE_NOOP("corvane", "图片不完整，只写出了解码到的部分"), false, true},
    ReasonRow{u"cut-too-fine", About::Any,
              QT_TRANSLATE_NOOP("corvane", "切割的块数多于图片的像素数，无法切割"), false, false},
};

constexpr ReasonRow kUnknownKind{u"", About::Any, QT_TRANSLATE_NOOP("corvane", "未能处理"), true,
                                 false};

const ReasonRow& RowFor(const QString& kindName, bool folder) {
    for (const ReasonRow& row : kReasons) {
        const bool subjectFits = row.about == About::Any || (row.about == About::Folder) == folder;
        if (kindName == QStringView(row.kind) && subjectFits) {
            return row;
        }
    }
    return kUnknownKind;
}

QString ReasonText(const FileNote& note, bool folder) {
    const ReasonRow& row = RowFor(NoteKindName(note.kind), folder);
    QString text = QCoreApplication::translate("corvane", row.reason);
    if (row.withDetail && !note.text.isEmpty()) {
        text = QCoreApplication::translate("corvane", "%1（%2）").arg(text, note.text);
    }
    return text;
}

bool ListedWhenWritten(const FileResult& result) {
    return std::any_of(result.notes.begin(), result.notes.end(), [](const FileNote& note) {
        return RowFor(NoteKindName(note.kind), false).listedWhenWritten;
    });
}

UnwrittenFile Describe(const FileResult& result, bool folder) {
    QStringList reasons;
    for (const FileNote& note : result.notes) {
        const QString reason = ReasonText(note, folder);
        if (!reasons.contains(reason)) {
            reasons.append(reason);
        }
    }
    return {result.source,
            reasons.join(QCoreApplication::translate("corvane", "；", "between reasons")),
            result.ProducedNothing()};
}

}  // namespace

QString UnwrittenReason(const QString& kindName, bool folder) {
    return QCoreApplication::translate("corvane", RowFor(kindName, folder).reason);
}

std::vector<UnwrittenFile> UnwrittenFiles(const std::vector<FileResult>& results,
                                          const std::function<bool(const QString&)>& isFolder) {
    std::vector<UnwrittenFile> files;
    for (const bool nothing : {true, false}) {
        for (const FileResult& result : results) {
            const bool listed = nothing ? result.ProducedNothing()
                                        : !result.ProducedNothing() && ListedWhenWritten(result);
            if (listed) {
                files.push_back(Describe(result, isFolder(result.source)));
            }
        }
    }
    return files;
}

QString UnwrittenLinkText(const std::vector<UnwrittenFile>& files) {
    if (files.empty()) {
        return {};
    }
    const auto nothing = std::count_if(files.begin(), files.end(),
                                       [](const UnwrittenFile& f) { return f.nothingWritten; });
    if (nothing > 0) {
        return QCoreApplication::translate("corvane", "查看未产生输出的文件（%1）").arg(nothing);
    }
    return QCoreApplication::translate("corvane", "查看输出不完整的文件（%1）").arg(files.size());
}

QString UnwrittenListing(const std::vector<UnwrittenFile>& files) {
    const auto nothing = std::count_if(files.begin(), files.end(),
                                       [](const UnwrittenFile& f) { return f.nothingWritten; });
    const auto incomplete = qsizetype(files.size()) - nothing;
    QString text = QCoreApplication::translate("corvane", "未产生输出的文件数：  %1").arg(nothing);
    if (incomplete > 0) {
        text +=
            QCoreApplication::translate("corvane", "  ，输出不完整的文件数：  %1").arg(incomplete);
    }
    bool inIncomplete = false;
    for (const UnwrittenFile& file : files) {
        if (!file.nothingWritten && !inIncomplete) {
            text += QStringLiteral("\n\n\n") +
                    QCoreApplication::translate("corvane", "输出不完整的文件：");
            inIncomplete = true;
        } else if (file.nothingWritten && &file == &files.front()) {
            text += QStringLiteral("\n\n\n") +
                    QCoreApplication::translate("corvane", "未产生输出的文件：");
        }
        text +=
            QStringLiteral("\n        ") + file.path + QStringLiteral("    ——    ") + file.reason;
    }
    return text;
}

}  // namespace corvane
