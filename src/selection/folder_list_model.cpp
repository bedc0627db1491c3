#include "folder_list_model.h"

#include "platform/file_system.h"
#include "platform/natural_order.h"
#include "platform/path_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>

#include <algorithm>

namespace corvane {
namespace {

// Changes inside the folder often come in bursts (a copy of many files); one new listing follows
// the first change of a burst after this delay.
constexpr int kRefreshDelayMs = 200;

// Sizes as the Windows file list gives them: whole kilobytes, rounded up.
QString SizeText(qint64 bytes) {
    return QStringLiteral("%L1 KB").arg((bytes + 1023) / 1024);
}

bool IsPlainName(const QString& name) {
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..") &&
           !name.contains(u'/') && !name.contains(kSeparator);
}

}  // namespace

FolderListing ListFolder(const QString& folder, bool foldersOnly, const std::atomic<bool>& cancel) {
    FolderListing listing;
    DirectoryReader reader(folder);
    if (!reader.IsOpen()) {
        return listing;
    }
    listing.opened = true;
    DirectoryEntry entry;
    while (!cancel && reader.Next(entry)) {
        if (entry.IsHidden() || (foldersOnly && !entry.isDirectory)) {
            continue;
        }
        listing.entries.push_back({entry.Name(), entry.isDirectory});
    }
    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) {
                  return a.isFolder != b.isFolder ? a.isFolder : NaturalLess(a.name, b.name);
              });
    return listing;
}

FolderListModel::FolderListModel(bool foldersOnly, QObject* parent)
    : QAbstractTableModel(parent), foldersOnly_(foldersOnly) {
    refresh_.setSingleShot(true);
    refresh_.setInterval(kRefreshDelayMs);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!refresh_.isActive()) {
            refresh_.start();
        }
    });
    connect(&refresh_, &QTimer::timeout, this, &FolderListModel::FolderChanged);
}

FolderListModel::~FolderListModel() {
    StopWorker();
}

void FolderListModel::SetFolder(const QString& folder) {
    if (folder != folder_) {
        beginResetModel();
        entries_.clear();
        details_.clear();
        folder_ = folder;
        endResetModel();
        if (!watcher_.directories().isEmpty()) {
            watcher_.removePaths(watcher_.directories());
        }
        watcher_.addPath(folder_);
    }
    refresh_.stop();
    StartWorker();
}

void FolderListModel::StartWorker() {
    StopWorker();
    listing_ = true;
    const quint64 generation = ++generation_;
    worker_ = std::thread([this, generation, folder = folder_, foldersOnly = foldersOnly_] {
        auto listing = std::make_shared<FolderListing>(ListFolder(folder, foldersOnly, cancel_));
        if (cancel_) {
            return;
        }
        QMetaObject::invokeMethod(
            this, [this, generation, listing] { TakeListing(generation, *listing); },
            Qt::QueuedConnection);
    });
}

void FolderListModel::StopWorker() {
    if (worker_.joinable()) {
        cancel_ = true;
        worker_.join();
        cancel_ = false;
    }
}

void FolderListModel::TakeListing(quint64 generation, FolderListing& listing) {
    if (generation != generation_) {
        return;
    }
    listing_ = false;
    // The same entries keep their rows, and with them what is marked or being renamed; only
    // sizes and dates are looked up again.
    if (listing.entries == entries_) {
        details_.assign(entries_.size(), std::nullopt);
        if (!entries_.empty()) {
            emit dataChanged(index(0, SizeColumn), index(rowCount() - 1, ModifiedColumn));
        }
    } else {
        beginResetModel();
        entries_ = std::move(listing.entries);
        details_.assign(entries_.size(), std::nullopt);
        endResetModel();
    }
    emit ListingFinished(listing.opened);
}

void FolderListModel::FolderChanged() {
    if (!IsDirectory(folder_)) {
        emit FolderVanished();
        return;
    }
    StartWorker();
}

int FolderListModel::RowOf(const QString& name) const {
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const FolderEntry& e) { return e.name == name; });
    return found == entries_.end() ? -1 : static_cast<int>(found - entries_.begin());
}

bool FolderListModel::Rename(int row, const QString& newName) {
    const QString oldPath = FilePath(row);
    const QString newPath = FolderWithSeparator() + newName;
    if (!IsPlainName(newName) || PathExists(newPath) || !QDir().rename(oldPath, newPath)) {
        return false;
    }
    entries_[static_cast<size_t>(row)].name = newName;
    const QModelIndex changed = index(row, NameColumn);
    emit dataChanged(changed, changed);
    return true;
}

int FolderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int FolderListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FolderListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const int row = index.row();
    const bool folder = IsFolder(row);
    if (role == Qt::DecorationRole && index.column() == NameColumn) {
        return IconOf(row);
    }
    if (role == Qt::TextAlignmentRole && index.column() == SizeColumn) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole) {
        return {};
    }
    switch (index.column()) {
        case NameColumn:
            return FileName(row);
        case SizeColumn:
            return folder ? QString() : SizeText(DetailsOf(row).size);
        case TypeColumn:
            return TypeOf(row);
        case ModifiedColumn:
            return QLocale().toString(DetailsOf(row).modified, QLocale::ShortFormat);
        default:
            return {};
    }
}

bool FolderListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    return index.isValid() && role == Qt::EditRole && index.column() == NameColumn &&
           Rename(index.row(), value.toString());
}

QVariant FolderListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case NameColumn:
            return QCoreApplication::translate("corvane", "名称");
        case SizeColumn:
            return QCoreApplication::translate("corvane", "大小");
        case TypeColumn:
            return QCoreApplication::translate("corvane", "类型");
        case ModifiedColumn:
            return QCoreApplication::translate("corvane", "修改日期");
        default:
            return {};
    }
}

Qt::ItemFlags FolderListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == NameColumn) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

QString FolderListModel::FolderWithSeparator() const {
    return folder_.endsWith(kSeparator) ? folder_ : folder_ + kSeparator;
}

QString FolderListModel::FilePath(int row) const {
    return FolderWithSeparator() + FileName(row);
}

const FolderListModel::Details& FolderListModel::DetailsOf(int row) const {
    std::optional<Details>& details = details_[static_cast<size_t>(row)];
    if (!details) {
        const QFileInfo info(FilePath(row));
        details = Details{info.size(), info.lastModified()};
    }
    return *details;
}

// Type name and icon by the name's suffix alone: nothing is read from the file, so a slow or
// special file never holds up the window.
const FolderListModel::FileKind& FolderListModel::KindOf(int row) const {
    const QString suffix = QFileInfo(FileName(row)).suffix().toLower();
    auto found = kindOfSuffix_.constFind(suffix);
    if (found == kindOfSuffix_.constEnd()) {
        const QMimeType mime = QMimeDatabase().mimeTypeForFile(QStringLiteral("file.") + suffix,
                                                               QMimeDatabase::MatchExtension);
        FileKind kind;
        kind.type = mime.comment();
        kind.icon = QIcon::fromTheme(
            mime.iconName(),
            QIcon::fromTheme(mime.genericIconName(), icons_.icon(QAbstractFileIconProvider::File)));
        if (suffix.isEmpty()) {
            kind.type = QCoreApplication::translate("corvane", "文件");
        } else if (mime.isDefault()) {
            kind.type = QCoreApplication::translate("corvane", "%1 文件").arg(suffix.toUpper());
        }
        found = kindOfSuffix_.insert(suffix, kind);
    }
    return *found;
}

QString FolderListModel::TypeOf(int row) const {
    return IsFolder(row) ? QCoreApplication::translate("corvane", "文件夹") : KindOf(row).type;
}

QIcon FolderListModel::IconOf(int row) const {
    return IsFolder(row) ? icons_.icon(QAbstractFileIconProvider::Folder) : KindOf(row).icon;
}

}  // namespace corvane
