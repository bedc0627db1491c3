#pragma once
// The application's private profile: an INI file of sections and keys in which the folder picker
// keeps its history and its view. Separate from the main window's remembered settings.
//
// As with the platform's profile functions, nothing here reports failure. A missing or unreadable
// file reads as empty; of a damaged file every entry that can be read is kept. Writes are gathered
// and go to disk with Sync(), which replaces the file atomically: a file that cannot be written
// (read-only, or its folder is) stays exactly as it was, while this process goes on seeing the
// values written.

#include <QString>

#include <memory>

class QSettings;

namespace corvane {

class ProfileStore {
public:
    // The file is created, with its folders, at the first Sync() that has something to write.
    explicit ProfileStore(const QString& filePath);
    ~ProfileStore();
    ProfileStore(const ProfileStore&) = delete;
    ProfileStore& operator=(const ProfileStore&) = delete;

    // "corvane.ini" in the user's configuration folder for this application.
    static QString DefaultPath();

    const QString& FilePath() const { return path_; }

    // Empty when the key is absent.
    QString ReadString(const QString& section, const QString& key) const;
    // The leading integer of the stored text; `fallback` when the key is absent or empty.
    int ReadInt(const QString& section, const QString& key, int fallback) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInt(const QString& section, const QString& key, int value);
    void RemoveKey(const QString& section, const QString& key);

    // Writes what changed, creating the file and its folders when needed.
    void Sync();

private:
    QString path_;
    std::unique_ptr<QSettings> settings_;
};

}  // namespace corvane
