#pragma once
// The folder picker: a folder list with a places column, back / up / new-folder buttons and four
// views (icons, list, details, tiles), and under it "已选择：", the history box, "确定" and "取消".
//
// Single mode lists folders only, one at a time; OK insists on an existing folder (a message box,
// after which the dialog stays open). Multi mode lists files and folders, takes several at once
// (Ctrl, Shift, Ctrl+A) and keeps the two working lists the caller attaches: moving to another
// folder empties them, a new selection rebuilds them in list order (existing folders to the folder
// list, everything else to the file list), and a selection that becomes empty leaves them as
// they are.
//
// The profile keeps the history (50 entries; read at construction, written on OK) and the view in
// use (applied when the dialog is shown, written when it is destroyed).
//
// It can be driven without exec(): construct, show(), act, press "确定", then read result() and
// ChosenPath(). Folders are read on a worker thread; ListingFinished() tells when the list is
// filled.

#include "engine/enumeration.h"

#include <QDialog>
#include <QStringList>

#include <vector>

class QComboBox;
class QToolButton;

namespace corvane {

class CFolderHistoryBox;
class FolderListModel;
class PickerViews;
class ProfileStore;
enum class PickerView;

class CFolderPickerDialog : public QDialog {
    Q_OBJECT

public:
    enum class Mode { Single, Multi };

    CFolderPickerDialog(Mode mode, const QString& initialFolder, ProfileStore& profile,
                        QWidget* parent = nullptr);
    ~CFolderPickerDialog() override;

    // 0: restore the view saved in the profile (the list view when there is none); a view
    // command: apply that; -1: no view memory at all. Call before showing.
    void UseViewMode(int viewMode);
    // Empties both lists now and keeps them up to date while the dialog runs (multi mode). The
    // lists stay the caller's.
    void AttachSelectionLists(PathList* files, PathList* folders);
    // The caption; "Select Folder" when empty.
    void SetTitle(const QString& title);

    // The latest of: the path of the marked item (of several: their folder), the folder moved to,
    // the history text that names something when the box is left, and the path fixed by OK.
    QString ChosenPath() const { return chosenPath_; }
    // The folder shown, without a trailing separator (except for a root).
    QString CurrentFolder() const;
    // Shows a folder, or the folder a file is in. A folder that cannot be read is refused with a
    // message box and the dialog stays where it was; false then.
    bool NavigateTo(const QString& path);
    bool IsListing() const;

signals:
    void ListingFinished();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildToolbar();
    QWidget* BuildPlaces();
    QWidget* BuildChoiceRows();
    void Open(const QString& folder, bool rememberForBack);
    void OpenFirstFolder();
    void FolderChanged();
    void ApplyView(PickerView view);
    void SelectionChanged();
    QString SelectionPath(const std::vector<int>& rows) const;
    void Ok();
    void ShowInHistoryBox(const QString& text);
    void HistoryChosen(const QString& text, bool left);
    void RowOpened(int row);
    void GoBack();
    void GoUp();
    void MakeFolder();
    void KeepSelectionForRefresh();
    void ListingArrived();
    void FolderVanished();
    void ShowMessage(const QString& text);
    void UpdateLookIn();

    const Mode mode_;
    const QString initialFolder_;
    ProfileStore& profile_;
    QString chosenPath_;
    int viewMode_ = 0;
    bool rememberView_ = false;
    bool applyView_ = false;
    bool firstFolderChange_ = true;
    bool shown_ = false;
    // The user typed into the history box since the dialog last set its text. Only then does
    // leaving the box open what it names: the box also shows every selection.
    bool historyTyped_ = false;
    PathList* workingFiles_ = nullptr;
    PathList* workingFolders_ = nullptr;
    QStringList backStack_;
    // Kept across a new listing of the same folder, so that a refresh keeps what is marked.
    QString keptFolder_;
    QStringList keptSelection_;
    QString folderToRename_;

    FolderListModel* model_ = nullptr;
    PickerViews* views_ = nullptr;
    CFolderHistoryBox* history_ = nullptr;
    QComboBox* lookIn_ = nullptr;
    QToolButton* back_ = nullptr;
    QToolButton* up_ = nullptr;
    QToolButton* viewMenu_ = nullptr;
};

}  // namespace corvane
