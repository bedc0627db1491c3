#pragma once
// The entries of one folder for the picker's views. The folder is read and sorted on a worker
// thread, so that a folder of 100,000 files never stalls the window: the model stays as it was
// until the whole listing arrives, then takes it at once. Hidden entries (names starting with
// ".") are left out; folders come first, each group in natural order. Size, type and date are
// looked up only when a view asks for them, that is for the rows on screen.
//
// Threads: everything but the worker runs on the window thread. The worker touches nothing of the
// model; it hands its result over through a queued call, and the destructor stops and joins it.

#include <QAbstractTableModel>
#include <QDateTime>
#include <QFileIconProvider>
#include <QFileSystemWatcher>
#include <QHash>
#include <QIcon>
#include <QTimer>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace corvane {

struct FolderEntry {
    QString name;
    bool isFolder = false;
    friend bool operator==(const FolderEntry&, const FolderEntry&) = default;
};

struct FolderListing {
    bool opened = false;  // false: the folder could not be read
    std::vector<FolderEntry> entries;
};

// Reads a folder as the model shows it. Polls `cancel` once per entry.
FolderListing ListFolder(const QString& folder, bool foldersOnly, const std::atomic<bool>& cancel);

class FolderListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { NameColumn, SizeColumn, TypeColumn, ModifiedColumn, ColumnCount };

    explicit FolderListModel(bool foldersOnly, QObject* parent = nullptr);
    ~FolderListModel() override;

    // Starts reading `folder` (its path as shown, without a trailing separator except for a
    // root). Another folder empties the model at once.
    void SetFolder(const QString& folder);
    const QString& Folder() const { return folder_; }
    bool IsListing() const { return listing_; }

    QString FileName(int row) const { return entries_[static_cast<size_t>(row)].name; }
    QString FilePath(int row) const;
    bool IsFolder(int row) const { return entries_[static_cast<size_t>(row)].isFolder; }
    // The row of an entry, or -1.
    int RowOf(const QString& name) const;
    // Renames an entry in place; false when the name is taken, empty or not a plain name.
    bool Rename(int row, const QString& newName);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The listing asked for by SetFolder has arrived (opened false: the folder could not be read).
    void ListingFinished(bool opened);
    // The folder shown no longer exists.
    void FolderVanished();

private:
    struct Details {
        qint64 size = 0;
        QDateTime modified;
    };
    struct FileKind {
        QString type;
        QIcon icon;
    };

    void StartWorker();
    void StopWorker();
    void TakeListing(quint64 generation, FolderListing& listing);
    void FolderChanged();
    const Details& DetailsOf(int row) const;
    const FileKind& KindOf(int row) const;
    QString TypeOf(int row) const;
    QIcon IconOf(int row) const;
    QString FolderWithSeparator() const;

    const bool foldersOnly_;
    QString folder_;
    std::vector<FolderEntry> entries_;
    mutable std::vector<std::optional<Details>> details_;
    mutable QHash<QString, FileKind> kindOfSuffix_;
    QFileIconProvider icons_;
    QFileSystemWatcher watcher_;
    QTimer refresh_;

    bool listing_ = false;
    quint64 generation_ = 0;
    std::atomic<bool> cancel_{false};
    std::thread worker_;
};

}  // namespace corvane
