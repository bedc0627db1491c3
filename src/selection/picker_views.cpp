#include "picker_views.h"

#include "folder_list_model.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace corvane {
namespace {

// Shell view commands of Windows Vista and later, and the older ones of Windows XP.
constexpr int kDetails = 28747;
constexpr int kTiles = 28748;
constexpr int kExtraLargeIcons = 28749;
constexpr int kMediumIcons = 28750;
constexpr int kLargeIcons = 28751;
constexpr int kSmallIcons = 28752;
constexpr int kList = 28753;
constexpr int kXpIcons = 28713;
constexpr int kXpList = 28715;
constexpr int kXpDetails = 28716;
constexpr int kXpThumbnails = 28717;
constexpr int kXpTiles = 28718;

// Tiles show the type and size of a file under its name.
class TileDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        QStringList lines{option->text};
        for (const int column : {FolderListModel::TypeColumn, FolderListModel::SizeColumn}) {
            const QString text = index.siblingAtColumn(column).data().toString();
            if (!text.isEmpty()) {
                lines << text;
            }
        }
        option->text = lines.join(QChar::LineSeparator);
    }
};

struct ListSettings {
    QListView::ViewMode mode;
    QListView::Flow flow;
    int iconSize;
    QSize grid;
    bool tiles;
};

ListSettings SettingsOf(PickerView view) {
    switch (view) {
        case PickerView::Icons:
            return {QListView::IconMode, QListView::LeftToRight, 48, {112, 88}, false};
        case PickerView::Tiles:
            return {QListView::ListMode, QListView::LeftToRight, 48, {260, 64}, true};
        default:
            return {QListView::ListMode, QListView::TopToBottom, 16, {220, 22}, false};
    }
}

}  // namespace

PickerView ViewFromCommand(int command) {
    switch (command) {
        case kDetails:
        case kXpDetails:
            return PickerView::Details;
        case kTiles:
        case kXpTiles:
            return PickerView::Tiles;
        case kExtraLargeIcons:
        case kMediumIcons:
        case kLargeIcons:
        case kXpIcons:
        case kXpThumbnails:
            return PickerView::Icons;
        case kSmallIcons:
        case kList:
        case kXpList:
        default:
            return PickerView::List;
    }
}

int CommandFromView(PickerView view) {
    switch (view) {
        case PickerView::Icons:
            return kMediumIcons;
        case PickerView::Details:
            return kDetails;
        case PickerView::Tiles:
            return kTiles;
        case PickerView::List:
            break;
    }
    return kList;
}

PickerViews::PickerViews(FolderListModel& model, bool multiSelection, QWidget* parent)
    : QStackedWidget(parent), model_(model) {
    list_ = new QListView(this);
    details_ = new QTreeView(this);
    plainDelegate_ = new QStyledItemDelegate(this);
    tileDelegate_ = new TileDelegate(this);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(details_)}) {
        view->setModel(&model_);
        view->setSelectionMode(multiSelection ? QAbstractItemView::ExtendedSelection
                                              : QAbstractItemView::SingleSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::EditKeyPressed);
        view->setAccessibleName(multiSelection
                                    ? QCoreApplication::translate("corvane", "文件和文件夹")
                                    : QCoreApplication::translate("corvane", "文件夹"));
        view->installEventFilter(this);
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this](const QModelIndex& index) { emit RowOpened(index.row()); });
        addWidget(view);
    }
    // One selection for both views.
    QItemSelectionModel* ownOfDetails = details_->selectionModel();
    details_->setSelectionModel(list_->selectionModel());
    delete ownOfDetails;
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PickerViews::SelectionChanged);
    SetUpList();
    SetUpDetails();
    SetView(PickerView::List);
}

void PickerViews::SetUpList() {
    list_->setMovement(QListView::Static);
    list_->setResizeMode(QListView::Adjust);
    list_->setWrapping(true);
    // With one size for every item, laying out 100,000 entries asks no item for its size.
    list_->setUniformItemSizes(true);
    list_->setTextElideMode(Qt::ElideMiddle);
}

void PickerViews::SetUpDetails() {
    details_->setRootIsDecorated(false);
    details_->setItemsExpandable(false);
    details_->setUniformRowHeights(true);
    details_->setAllColumnsShowFocus(true);
    details_->setTextElideMode(Qt::ElideMiddle);
    details_->header()->setStretchLastSection(false);
    details_->header()->resizeSection(FolderListModel::NameColumn, 240);
    details_->header()->resizeSection(FolderListModel::SizeColumn, 80);
    details_->header()->resizeSection(FolderListModel::TypeColumn, 120);
    details_->header()->resizeSection(FolderListModel::ModifiedColumn, 130);
}

void PickerViews::SetView(PickerView view) {
    view_ = view;
    if (view == PickerView::Details) {
        setCurrentWidget(details_);
        return;
    }
    const ListSettings settings = SettingsOf(view);
    list_->setViewMode(settings.mode);
    list_->setFlow(settings.flow);
    list_->setWrapping(true);
    list_->setIconSize({settings.iconSize, settings.iconSize});
    list_->setGridSize(settings.grid);
    // Tiles put the type and the size on lines of their own under the name.
    list_->setWordWrap(settings.mode == QListView::IconMode || settings.tiles);
    list_->setMovement(QListView::Static);
    list_->setItemDelegate(settings.tiles ? tileDelegate_ : plainDelegate_);
    setCurrentWidget(list_);
}

QAbstractItemView* PickerViews::CurrentView() const {
    return view_ == PickerView::Details ? static_cast<QAbstractItemView*>(details_)
                                        : static_cast<QAbstractItemView*>(list_);
}

std::vector<int> PickerViews::SelectedRows() const {
    std::vector<char> marked(static_cast<size_t>(model_.rowCount()), 0);
    for (const QItemSelectionRange& range : list_->selectionModel()->selection()) {
        std::fill(marked.begin() + range.top(), marked.begin() + range.bottom() + 1, 1);
    }
    std::vector<int> rows;
    for (size_t row = 0; row < marked.size(); ++row) {
        if (marked[row] != 0) {
            rows.push_back(static_cast<int>(row));
        }
    }
    return rows;
}

void PickerViews::SelectRows(const std::vector<int>& rows) {
    QItemSelection selection;
    for (size_t i = 0; i < rows.size();) {
        size_t last = i;
        while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1) {
            ++last;
        }
        selection.select(model_.index(rows[i], 0),
                         model_.index(rows[last], FolderListModel::ColumnCount - 1));
        i = last + 1;
    }
    QItemSelectionModel* model = list_->selectionModel();
    if (!rows.empty()) {
        model->setCurrentIndex(model_.index(rows.front(), 0), QItemSelectionModel::NoUpdate);
    }
    model->select(selection, QItemSelectionModel::ClearAndSelect);
}

void PickerViews::EditName(int row) {
    QAbstractItemView* view = CurrentView();
    const QModelIndex index = model_.index(row, FolderListModel::NameColumn);
    view->setCurrentIndex(index);
    view->scrollTo(index);
    view->edit(index);
}

bool PickerViews::eventFilter(QObject* watched, QEvent* event) {
    // Keys typed into a name being edited reach the view too, once the editor has done with them.
    if (event->type() != QEvent::KeyPress || watched != CurrentView() ||
        !CurrentView()->hasFocus()) {
        return QStackedWidget::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const QModelIndex current = CurrentView()->currentIndex();
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    // Enter opens a folder marked alone; otherwise it is the dialog's OK.
    const QItemSelection selection = CurrentView()->selectionModel()->selection();
    const bool folderAlone = current.isValid() && model_.IsFolder(current.row()) &&
                             selection.size() == 1 && selection.front().height() == 1 &&
                             selection.front().top() == current.row();
    if (enter && folderAlone) {
        emit RowOpened(current.row());
        return true;
    }
    if (key->key() == Qt::Key_Backspace && key->modifiers() == Qt::NoModifier) {
        emit UpRequested();
        return true;
    }
    return QStackedWidget::eventFilter(watched, event);
}

}  // namespace corvane
