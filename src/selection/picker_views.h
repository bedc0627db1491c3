#pragma once
// The folder picker's list in its four views. Icons, list and tiles are one QListView in three
// settings, details a QTreeView; both views share the model and one selection, so switching the
// view keeps what is marked.
//
// The view in use is stored as the shell's view command of Windows Vista and later (28747
// details … 28753 list), so that the profile means the same on every platform.

#include <QStackedWidget>

#include <vector>

class QAbstractItemDelegate;
class QAbstractItemView;
class QListView;
class QTreeView;

namespace corvane {

class FolderListModel;

enum class PickerView { Icons, List, Details, Tiles };

// Every view command of Windows XP and Vista maps to one of the four views; 0 and unknown
// commands give the list view.
PickerView ViewFromCommand(int command);
int CommandFromView(PickerView view);

class PickerViews : public QStackedWidget {
    Q_OBJECT

public:
    PickerViews(FolderListModel& model, bool multiSelection, QWidget* parent = nullptr);

    void SetView(PickerView view);
    PickerView View() const { return view_; }
    QAbstractItemView* CurrentView() const;

    // Rows marked, in ascending order.
    std::vector<int> SelectedRows() const;
    // Marks these rows (and nothing else); the first becomes the current row.
    void SelectRows(const std::vector<int>& rows);
    void EditName(int row);

signals:
    void SelectionChanged();
    // An item was opened (double click, or Enter on a folder).
    void RowOpened(int row);
    // Backspace: the folder above.
    void UpRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetUpList();
    void SetUpDetails();

    FolderListModel& model_;
    QListView* list_ = nullptr;
    QTreeView* details_ = nullptr;
    QAbstractItemDelegate* plainDelegate_ = nullptr;
    QAbstractItemDelegate* tileDelegate_ = nullptr;
    PickerView view_ = PickerView::List;
};

}  // namespace corvane
