#include "selection/folder_picker_dialog.h"

#include "choice_rules.h"
#include "folder_list_model.h"
#include "path_blanks.h"
#include "picker_views.h"
#include "places.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "selection/folder_history_box.h"
#include "selection/profile_store.h"

#include <QActionGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QToolButton>
#include <QVBoxLayout>

namespace corvane {
namespace {

const QString kViewSection = QStringLiteral("FolderPickerDialog");
const QString kViewKey = QStringLiteral("ViewMode");
constexpr int kHistoryEntries = 50;
constexpr int kHistoryRows = 20;
const QColor kHintColour(0, 152, 0);

// A folder path as the dialog shows it: clean, native separators, no trailing separator but for
// a root.
QString FolderForm(const QString& path) {
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}

bool CanRead(const QString& folder) {
    return DirectoryReader(folder).IsOpen();
}

// The folder above; a root is its own parent.
QString ParentOf(const QString& folder) {
    return QDir::toNativeSeparators(QFileInfo(folder).path());
}

// The folder itself when it can be read, else the nearest folder above it that can (the root
// when none can).
QString NearestReadable(QString folder) {
    while (!CanRead(folder) && ParentOf(folder) != folder) {
        folder = ParentOf(folder);
    }
    return folder;
}

QToolButton* ToolButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& name) {
    auto* button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolTip(name);
    button->setAccessibleName(name);
    button->setAutoRaise(true);
    return button;
}

}  // namespace

CFolderPickerDialog::CFolderPickerDialog(Mode mode, const QString& initialFolder,
                                         ProfileStore& profile, QWidget* parent)
    : QDialog(parent), mode_(mode), initialFolder_(initialFolder), profile_(profile) {
    model_ = new FolderListModel(mode_ == Mode::Single, this);
    views_ = new PickerViews(*model_, mode_ == Mode::Multi, this);
    history_ = new CFolderHistoryBox(profile_, this);
    history_->SetMaximumEntries(kHistoryEntries);
    history_->SetDropDownRows(kHistoryRows);
    history_->SetCheckExistence(true);
    history_->LoadHistory(QStringLiteral("FolderHistory"), QStringLiteral("Folder"), true);
    if (history_->count() > 0) {
        history_->setCurrentIndex(0);
    }

    auto* right = new QVBoxLayout;
    right->addWidget(views_, 1);
    right->addWidget(BuildChoiceRows());
    auto* body = new QHBoxLayout;
    body->addWidget(BuildPlaces());
    body->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildToolbar());
    layout->addLayout(body, 1);

    connect(views_, &PickerViews::SelectionChanged, this, &CFolderPickerDialog::SelectionChanged);
    connect(views_, &PickerViews::RowOpened, this, &CFolderPickerDialog::RowOpened);
    connect(views_, &PickerViews::UpRequested, this, &CFolderPickerDialog::GoUp);
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this,
            &CFolderPickerDialog::KeepSelectionForRefresh);
    connect(model_, &FolderListModel::ListingFinished, this, &CFolderPickerDialog::ListingArrived);
    connect(model_, &FolderListModel::FolderVanished, this, &CFolderPickerDialog::FolderVanished);
    connect(history_, &QComboBox::textActivated, this,
            [this](const QString& text) { HistoryChosen(text, false); });
    connect(history_->lineEdit(), &QLineEdit::textEdited, this, [this] { historyTyped_ = true; });
    connect(history_->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (historyTyped_) {
            HistoryChosen(history_->currentText(), true);
        }
    });
    history_->installEventFilter(this);

    setSizeGripEnabled(true);
    SetTitle({});
    resize(720, 460);
}

CFolderPickerDialog::~CFolderPickerDialog() {
    if (rememberView_ && applyView_ && shown_) {
        profile_.WriteInt(kViewSection, kViewKey, viewMode_);
        profile_.Sync();
    }
}

QWidget* CFolderPickerDialog::BuildToolbar() {
    auto* bar = new QWidget(this);
    auto* label = new QLabel(QCoreApplication::translate("corvane", "查找范围："), bar);
    lookIn_ = new QComboBox(bar);
    lookIn_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    label->setBuddy(lookIn_);
    lookIn_->setAccessibleName(label->text());
    back_ = ToolButton(bar, QStyle::SP_ArrowBack, QCoreApplication::translate("corvane", "后退"));
    up_ = ToolButton(bar, QStyle::SP_FileDialogToParent,
                     QCoreApplication::translate("corvane", "向上一级"));
    QToolButton* newFolder = ToolButton(bar, QStyle::SP_FileDialogNewFolder,
                                        QCoreApplication::translate("corvane", "新建文件夹"));
    viewMenu_ = ToolButton(bar, QStyle::SP_FileDialogListView,
                           QCoreApplication::translate("corvane", "查看"));
    viewMenu_->setPopupMode(QToolButton::InstantPopup);

    auto* menu = new QMenu(viewMenu_);
    auto* group = new QActionGroup(menu);
    const std::pair<PickerView, QString> views[] = {
        {PickerView::Icons, QCoreApplication::translate("corvane", "图标")},
        {PickerView::List, QCoreApplication::translate("corvane", "列表")},
        {PickerView::Details, QCoreApplication::translate("corvane", "详细信息")},
        {PickerView::Tiles, QCoreApplication::translate("corvane", "平铺")}};
    for (const auto& [view, name] : views) {
        QAction* action = menu->addAction(name);
        action->setCheckable(true);
        action->setData(static_cast<int>(view));
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, view = view] {
            ApplyView(view);
            viewMode_ = CommandFromView(view);
        });
    }
    viewMenu_->setMenu(menu);

    connect(lookIn_, &QComboBox::activated, this,
            [this](int index) { NavigateTo(lookIn_->itemData(index).toString()); });
    connect(back_, &QToolButton::clicked, this, &CFolderPickerDialog::GoBack);
    connect(up_, &QToolButton::clicked, this, &CFolderPickerDialog::GoUp);
    connect(newFolder, &QToolButton::clicked, this, &CFolderPickerDialog::MakeFolder);

    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(label);
    row->addWidget(lookIn_, 1);
    for (QToolButton* button : {back_, up_, newFolder, viewMenu_}) {
        row->addWidget(button);
    }
    return bar;
}

QWidget* CFolderPickerDialog::BuildPlaces() {
    auto* places = new QListWidget(this);
    places->setAccessibleName(QCoreApplication::translate("corvane", "位置"));
    places->setViewMode(QListView::IconMode);
    places->setFlow(QListView::TopToBottom);
    places->setWrapping(false);
    places->setMovement(QListView::Static);
    places->setIconSize({32, 32});
    places->setGridSize({96, 64});
    places->setFixedWidth(104);
    places->setWordWrap(true);
    for (const Place& place : PickerPlaces()) {
        auto* item = new QListWidgetItem(style()->standardIcon(place.icon), place.name, places);
        item->setData(Qt::UserRole, place.path);
        item->setToolTip(place.path);
    }
    connect(places, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { NavigateTo(item->data(Qt::UserRole).toString()); });
    connect(places, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { NavigateTo(item->data(Qt::UserRole).toString()); });
    return places;
}

QWidget* CFolderPickerDialog::BuildChoiceRows() {
    auto* rows = new QWidget(this);
    auto* label = new QLabel(QCoreApplication::translate("corvane", "已选择："), rows);
    label->setBuddy(history_);
    history_->setAccessibleName(label->text());
    history_->lineEdit()->setAccessibleName(label->text());
    auto* ok = new QPushButton(QCoreApplication::translate("corvane", "确定"), rows);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QCoreApplication::translate("corvane", "取消"), rows);
    connect(ok, &QPushButton::clicked, this, &CFolderPickerDialog::Ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout(rows);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(label, 0, 0);
    grid->addWidget(history_, 0, 1);
    grid->addWidget(ok, 0, 2);
    grid->addWidget(cancel, 1, 2);
    grid->setColumnStretch(1, 1);
    if (mode_ == Mode::Multi) {
        auto* hint = new QLabel(
            QCoreApplication::translate(
                "corvane", "提示：请使用 Ctrl+左键，Shift+左键，Ctrl+A 选择多个文件和文件夹。"),
            rows);
        QPalette palette = hint->palette();
        palette.setColor(QPalette::WindowText, kHintColour);
        hint->setPalette(palette);
        hint->setWordWrap(true);
        grid->addWidget(hint, 1, 0, 1, 2);
    }
    return rows;
}

void CFolderPickerDialog::UseViewMode(int viewMode) {
    viewMode_ = viewMode;
    rememberView_ = applyView_ = viewMode != -1;
}

void CFolderPickerDialog::AttachSelectionLists(PathList* files, PathList* folders) {
    workingFiles_ = files;
    workingFolders_ = folders;
    for (PathList* list : {files, folders}) {
        if (list != nullptr) {
            list->clear();
        }
    }
}

void CFolderPickerDialog::SetTitle(const QString& title) {
    setWindowTitle(title.isEmpty() ? QStringLiteral("Select Folder") : title);
}

QString CFolderPickerDialog::CurrentFolder() const {
    return model_->Folder();
}

bool CFolderPickerDialog::IsListing() const {
    return model_->IsListing();
}

void CFolderPickerDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shown_) {
        return;
    }
    shown_ = true;
    OpenFirstFolder();
    history_->setFocus();
    history_->lineEdit()->selectAll();
}

// The initial folder, or the folder its file is in; when that cannot be read, the nearest folder
// above it that can, else the home folder, else the root.
void CFolderPickerDialog::OpenFirstFolder() {
    QString folder = FolderForm(initialFolder_);
    if (!folder.isEmpty()) {
        folder = NearestReadable(IsDirectory(folder) ? folder : ParentOf(folder));
    }
    for (const QString& candidate : {folder, FolderForm(QDir::homePath()), RootFolder()}) {
        if (!candidate.isEmpty() && CanRead(candidate)) {
            Open(FolderForm(candidate), false);
            return;
        }
    }
}

bool CFolderPickerDialog::NavigateTo(const QString& path) {
    QString folder = FolderForm(path);
    if (!IsDirectory(folder) && PathExists(folder)) {
        folder = ParentOf(folder);
    }
    if (!CanRead(folder)) {
        ShowMessage(QStringLiteral("The folder '%1' isn't accessible.").arg(folder));
        return false;
    }
    Open(folder, true);
    return true;
}

void CFolderPickerDialog::Open(const QString& folder, bool rememberForBack) {
    if (folder == model_->Folder()) {
        return;
    }
    if (rememberForBack && !model_->Folder().isEmpty()) {
        backStack_.push_back(model_->Folder());
    }
    model_->SetFolder(folder);
    FolderChanged();
}

void CFolderPickerDialog::FolderChanged() {
    chosenPath_ = model_->Folder();
    ShowInHistoryBox(chosenPath_);
    if (applyView_) {
        if (firstFolderChange_ && rememberView_ && viewMode_ == 0) {
            viewMode_ = profile_.ReadInt(kViewSection, kViewKey, 0);
        }
        ApplyView(ViewFromCommand(viewMode_));
        viewMode_ = CommandFromView(views_->View());
    }
    firstFolderChange_ = false;
    if (mode_ == Mode::Multi) {
        AttachSelectionLists(workingFiles_, workingFolders_);
    }
    UpdateLookIn();
}

void CFolderPickerDialog::ApplyView(PickerView view) {
    views_->SetView(view);
    for (QAction* action : viewMenu_->menu()->actions()) {
        action->setChecked(action->data().toInt() == static_cast<int>(view));
    }
}

void CFolderPickerDialog::UpdateLookIn() {
    const QString folder = model_->Folder();
    QStringList chain{folder};
    for (QString above = ParentOf(folder); above != chain.front(); above = ParentOf(above)) {
        chain.prepend(above);
    }
    const QSignalBlocker blocker(lookIn_);
    lookIn_->clear();
    for (int i = 0; i < chain.size(); ++i) {
        lookIn_->addItem(
            style()->standardIcon(i == 0 ? QStyle::SP_DriveHDIcon : QStyle::SP_DirIcon), chain[i],
            chain[i]);
    }
    lookIn_->setCurrentIndex(static_cast<int>(chain.size() - 1));
    up_->setEnabled(chain.size() > 1);
    back_->setEnabled(!backStack_.isEmpty());
}

QString CFolderPickerDialog::SelectionPath(const std::vector<int>& rows) const {
    if (rows.empty()) {
        return {};
    }
    if (rows.size() > 1) {
        return model_->Folder();
    }
    return model_->FilePath(rows.front());
}

void CFolderPickerDialog::SelectionChanged() {
    const std::vector<int> rows = views_->SelectedRows();
    chosenPath_ = SelectionPath(rows);
    if (!chosenPath_.isEmpty()) {
        ShowInHistoryBox(chosenPath_);
    }
    if (mode_ != Mode::Multi || rows.empty() || workingFiles_ == nullptr ||
        workingFolders_ == nullptr) {
        return;
    }
    std::vector<QString> names;
    names.reserve(rows.size());
    for (const int row : rows) {
        names.push_back(model_->FileName(row));
    }
    RebuildWorkingLists(model_->Folder(), names, *workingFiles_, *workingFolders_);
}

void CFolderPickerDialog::Ok() {
    chosenPath_ = SelectionPath(views_->SelectedRows());
    if (chosenPath_.isEmpty()) {
        chosenPath_ = history_->currentText();
    } else {
        ShowInHistoryBox(chosenPath_);
    }
    if (mode_ == Mode::Single) {
        if (chosenPath_.isEmpty()) {
            ShowMessage(QStringLiteral("Please select a folder."));
            return;
        }
        // A file is no folder either, although something exists there.
        if (!IsDirectory(TrimBlanks(chosenPath_))) {
            ShowMessage(QStringLiteral("The folder '%1' isn't accessible.").arg(chosenPath_));
            return;
        }
    }
    history_->SaveHistory(true);
    accept();
}

void CFolderPickerDialog::HistoryChosen(const QString& text, bool left) {
    historyTyped_ = false;
    if (!PathExists(text)) {
        return;
    }
    NavigateTo(text);
    if (left) {
        chosenPath_ = text;
    }
}

void CFolderPickerDialog::ShowInHistoryBox(const QString& text) {
    history_->setEditText(text);
    historyTyped_ = false;
}

bool CFolderPickerDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == history_ && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Opening the drop-down list or another window does not leave the box.
        if (historyTyped_ && reason != Qt::PopupFocusReason &&
            reason != Qt::ActiveWindowFocusReason) {
            HistoryChosen(history_->currentText(), true);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CFolderPickerDialog::RowOpened(int row) {
    if (model_->IsFolder(row)) {
        NavigateTo(model_->FilePath(row));
    } else if (mode_ == Mode::Multi) {
        Ok();
    }
}

void CFolderPickerDialog::GoBack() {
    while (!backStack_.isEmpty()) {
        const QString folder = backStack_.takeLast();
        if (CanRead(folder)) {
            Open(folder, false);
            return;
        }
    }
    UpdateLookIn();
}

void CFolderPickerDialog::GoUp() {
    const QString folder = model_->Folder();
    const QString above = ParentOf(folder);
    if (above != folder) {
        NavigateTo(above);
    }
}

void CFolderPickerDialog::MakeFolder() {
    const QString base = WithTrailingSeparator(model_->Folder());
    QString name = QCoreApplication::translate("corvane", "新建文件夹");
    for (int n = 2; PathExists(base + name); ++n) {
        name = QCoreApplication::translate("corvane", "新建文件夹 (%1)").arg(n);
    }
    if (!CreateDirectory(base + name)) {
        ShowMessage(QStringLiteral("The folder '%1' isn't accessible.").arg(model_->Folder()));
        return;
    }
    folderToRename_ = name;
    model_->SetFolder(model_->Folder());
}

void CFolderPickerDialog::KeepSelectionForRefresh() {
    keptFolder_ = model_->Folder();
    keptSelection_.clear();
    for (const int row : views_->SelectedRows()) {
        keptSelection_.push_back(model_->FileName(row));
    }
}

void CFolderPickerDialog::ListingArrived() {
    if (keptFolder_ == model_->Folder() && !keptSelection_.isEmpty()) {
        const QSet<QString> names(keptSelection_.begin(), keptSelection_.end());
        std::vector<int> rows;
        for (int row = 0; row < model_->rowCount(); ++row) {
            if (names.contains(model_->FileName(row))) {
                rows.push_back(row);
            }
        }
        views_->SelectRows(rows);
    }
    keptSelection_.clear();
    if (!folderToRename_.isEmpty()) {
        const int row = model_->RowOf(folderToRename_);
        folderToRename_.clear();
        if (row >= 0) {
            views_->EditName(row);
        }
    }
    emit ListingFinished();
}

void CFolderPickerDialog::FolderVanished() {
    Open(NearestReadable(model_->Folder()), false);
}

void CFolderPickerDialog::ShowMessage(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

}  // namespace corvane
