#pragma once
// The texts the main dialog builds from its state: the name-clash examples, the selection counts,
// the view dialog's listing, the tooltips, and its fixed messages. Pure functions.

#include "engine/enumeration.h"
#include "engine/form.h"
#include "engine/translated_text.h"

#include <QString>

#include <utility>
#include <vector>

namespace corvane {

namespace texts {
inline const QString kTitle = QStringLiteral("Corvane 2.2.1");
inline constexpr TranslatedText kKeysHint{
    QT_TRANSLATE_NOOP("corvane", "回车键，开始/暂停操作；\r\nESC键，停止操作。")};
inline constexpr TranslatedText kStartTip{QT_TRANSLATE_NOOP(
    "corvane",
    "小窍门：单边约束（按尺寸缩放的时候，允许填写宽或高为0。填0的宽或高会根据原图比例重新计算，"
    "非0的宽或高则缩小成指定值。）")};
inline constexpr TranslatedText kInitFailed{QT_TRANSLATE_NOOP("corvane", "程序初始化失败！")};
}  // namespace texts

// How a clashing "某文件.PNG" is saved with the prefix or suffix field's text (trimmed, as the run
// uses it): the captions of the two example labels.
QString PrefixExample(const QString& prefixField);
QString SuffixExample(const QString& suffixField);

// "已选文件数：  f  ， 已选文件夹数：  d"
QString SelectionCountsText(int files, int folders);
// Entries of a list that may be absent.
int EntryCount(const PathList* list);

// The view dialog's text: counts, then every file and every folder exactly as held, in order,
// duplicates included. Lines end with "\r\n".
QString SelectionListing(const PathList* files, const PathList* folders);

// The tooltip of every control that has one: the path fields show their own text (so a long path
// can be read whole), the resize fields and the save modes explain themselves.
std::vector<std::pair<ControlId, QString>> Tooltips(const Form& form);

}  // namespace corvane
