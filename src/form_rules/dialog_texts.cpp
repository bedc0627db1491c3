#include "form_rules/dialog_texts.h"

#include "engine/translated_text.h"

#include <QCoreApplication>

namespace corvane {
namespace {

using enum ControlId;

constexpr TranslatedText kOneSideTip{QT_TRANSLATE_NOOP(
    "corvane",
    "支持单边约束：允许填写宽或高为0。填0的宽或高会根据原图比例重新计算，非0的宽或高则缩小成指定"
    "值。")};
constexpr TranslatedText kLongSideTip{
    QT_TRANSLATE_NOOP("corvane", "如果宽高中较大的一个超过指定值，则缩小之，但宽高比例不变。")};
constexpr TranslatedText kSameAsSourceTip{QT_TRANSLATE_NOOP(
    "corvane",
    "按原图格式保存，允许缩放等操作。对于可读取但暂不支持保存的格式，默认保存成PNG格式。")};
constexpr TranslatedText kDirectCopyTip{
    QT_TRANSLATE_NOOP("corvane", "直接拷贝原图，不做任何修改。")};

void AppendEntries(QString& text, const PathList* list) {
    if (list == nullptr) {
        return;
    }
    for (const QString& path : *list) {
        text += QStringLiteral("\r\n        ") + path;
    }
}

}  // namespace

QString PrefixExample(const QString& prefixField) {
    // The field's text is put in by arg(), which never reads what it puts in.
    return QCoreApplication::translate("corvane",
                                       "( 比如, \"某文件.PNG\" 会被存成 \"%1某文件.PNG\" )")
        .arg(prefixField.trimmed());
}

QString SuffixExample(const QString& suffixField) {
    return QCoreApplication::translate("corvane",
                                       "( 比如, \"某文件.PNG\" 会被存成 \"某文件%1.PNG\" )")
        .arg(suffixField.trimmed());
}

QString SelectionCountsText(int files, int folders) {
    return QCoreApplication::translate("corvane", "已选文件数：  %1  ， 已选文件夹数：  %2")
        .arg(files)
        .arg(folders);
}

int EntryCount(const PathList* list) {
    return list == nullptr ? 0 : static_cast<int>(list->size());
}

QString SelectionListing(const PathList* files, const PathList* folders) {
    QString text =
        QCoreApplication::translate(
            "corvane", "花式选择，已选文件数：  %1  ，已选文件夹数：  %2  \r\n\r\n\r\n文件列表：")
            .arg(EntryCount(files))
            .arg(EntryCount(folders));
    AppendEntries(text, files);
    text += QStringLiteral("\r\n\r\n\r\n") + QCoreApplication::translate("corvane", "文件夹列表：");
    AppendEntries(text, folders);
    return text;
}

std::vector<std::pair<ControlId, QString>> Tooltips(const Form& form) {
    std::vector<std::pair<ControlId, QString>> tips;
    for (const ControlId id : {SourcePath, SavePath, WatermarkText, WatermarkImagePath}) {
        tips.emplace_back(id, form.Text(id));
    }
    for (const ControlId id : {ResizeWidth, ResizeHeight, ResizeBySize}) {
        tips.emplace_back(id, kOneSideTip.Text());
    }
    for (const ControlId id : {ResizeByLongEdge, LongEdgeLimit}) {
        tips.emplace_back(id, kLongSideTip.Text());
    }
    tips.emplace_back(SameAsSource, kSameAsSourceTip.Text());
    tips.emplace_back(DirectCopy, kDirectCopyTip.Text());
    return tips;
}

}  // namespace corvane
