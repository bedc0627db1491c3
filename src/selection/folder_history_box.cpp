#include "selection/folder_history_box.h"

#include "path_blanks.h"
#include "platform/file_system.h"
#include "selection/profile_store.h"

#include <algorithm>

namespace corvane {
namespace {

// Keys are read and cleared up to this index at most.
constexpr int kLastKeyIndex = 999;

// Two texts are the same entry when they are the same path: regardless of case on Windows.
#ifdef _WIN32
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

}  // namespace

CFolderHistoryBox::CFolderHistoryBox(ProfileStore& profile, QWidget* parent)
    : QComboBox(parent), profile_(profile) {
    setEditable(true);
    // Entries are added by AddToHistory only, never by pressing Enter in the box.
    setInsertPolicy(QComboBox::NoInsert);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(20);
}

void CFolderHistoryBox::SetMaximumEntries(int maximum) {
    maximum_ = std::max(0, maximum);
    while (count() > maximum_) {
        removeItem(count() - 1);
    }
}

void CFolderHistoryBox::SetDropDownRows(int rows) {
    setMaxVisibleItems(rows);
}

void CFolderHistoryBox::SetCheckExistence(bool check) {
    checkExistence_ = check;
}

QString CFolderHistoryBox::KeyOf(int index) const {
    return prefix_ + QStringLiteral("%1").arg(index, 4, 10, QChar(u'0'));
}

int CFolderHistoryBox::FindEntry(const QString& text, int from) const {
    for (int i = from; i < count(); ++i) {
        if (itemText(i).compare(text, kPathCase) == 0) {
            return i;
        }
    }
    return -1;
}

QString CFolderHistoryBox::LoadHistory(const QString& section, const QString& prefix,
                                       bool restoreLast, const QString& lastKey) {
    if (section.isEmpty() || prefix.isEmpty()) {
        return {};
    }
    section_ = section;
    prefix_ = prefix;
    restoreLast_ = restoreLast;
    lastKey_ = !lastKey.isEmpty() ? lastKey : prefix;
    for (int i = 0; i < std::min(maximum_, kLastKeyIndex + 1); ++i) {
        const QString value = profile_.ReadString(section_, KeyOf(i));
        if (value.isEmpty()) {
            break;
        }
        if (!checkExistence_ || PathExists(value)) {
            addItem(value);
        }
    }
    if (!restoreLast_) {
        return {};
    }
    const QString last = profile_.ReadString(section_, lastKey_);
    if (!last.isEmpty()) {
        const int index = FindEntry(last, 0);
        if (index >= 0) {
            setCurrentIndex(index);
        } else {
            setEditText(last);
        }
    }
    return last;
}

int CFolderHistoryBox::AddToHistory(const QString& text) {
    if (section_.isEmpty() || prefix_.isEmpty()) {
        addItem(text);
        return count() - 1;
    }
    const QString entry = TrimBlanks(text);
    if (entry.isEmpty()) {
        return -1;
    }
    insertItem(0, entry);
    const int older = FindEntry(entry, 1);
    if (older > 0) {
        removeItem(older);
    }
    SetMaximumEntries(maximum_);
    setCurrentIndex(0);
    return 0;
}

void CFolderHistoryBox::SaveHistory(bool addCurrentText) {
    if (section_.isEmpty()) {
        return;
    }
    if (addCurrentText) {
        const QString current = TrimBlanks(currentText());
        if (!current.isEmpty()) {
            AddToHistory(current);
        }
    }
    const int written = std::min(count(), maximum_ + 1);
    for (int i = 0; i < written; ++i) {
        profile_.WriteString(section_, KeyOf(i), itemText(i));
    }
    for (int i = written; i <= kLastKeyIndex; ++i) {
        if (profile_.ReadString(section_, KeyOf(i)).isEmpty()) {
            break;
        }
        profile_.RemoveKey(section_, KeyOf(i));
    }
    if (restoreLast_) {
        profile_.WriteString(section_, lastKey_, currentText());
    }
    profile_.Sync();
}

}  // namespace corvane
