#pragma once
// The folder picker's history box: an editable combo box of recently used folders, most recent
// first, kept in the profile as keys prefix + four digits (Folder0000, Folder0001, …) of one
// section, plus the text of the box at the last OK under a key of its own.

#include <QComboBox>

namespace corvane {

class ProfileStore;

class CFolderHistoryBox : public QComboBox {
    Q_OBJECT

public:
    explicit CFolderHistoryBox(ProfileStore& profile, QWidget* parent = nullptr);

    // Entries beyond the maximum are dropped at once.
    void SetMaximumEntries(int maximum);
    void SetDropDownRows(int rows);
    // When on, loading skips entries at which no file or folder exists.
    void SetCheckExistence(bool check);

    // Appends the section's entries, stopping at the first empty key or after the maximum number
    // of keys. With restoreLast, the value under lastKey (else the prefix, else "Last") is looked
    // up: an equal entry is selected, otherwise that value goes into the edit field. Returns that
    // value; nothing happens and "" is returned without a section or prefix.
    QString LoadHistory(const QString& section, const QString& prefix, bool restoreLast,
                        const QString& lastKey = {});
    // Puts the text, trimmed, on top; an equal older entry and entries beyond the maximum go.
    // Returns its index (0), or -1 for an empty text. Without a section or prefix the text is
    // simply appended.
    int AddToHistory(const QString& text);
    // Writes the entries from key 0 on and removes the stale keys behind them; with
    // addCurrentText the text of the box is added first. Nothing happens without a section.
    void SaveHistory(bool addCurrentText);

private:
    QString KeyOf(int index) const;
    int FindEntry(const QString& text, int from) const;

    ProfileStore& profile_;
    QString section_;
    QString prefix_;
    QString lastKey_;
    bool restoreLast_ = false;
    int maximum_ = 50;
    bool checkExistence_ = false;
};

}  // namespace corvane
