#pragma once
// The three texts the main dialog remembers between starts (the source folder, the watermark text
// and the watermark picture's path), as string values under one key: the registry key
// HKEY_CURRENT_USER\Software\Corvane on Windows, an INI file in the user's configuration folder
// elsewhere. Nothing is cached: every write reaches the store at once, and every failure is silent
// (an unreadable value reads as empty, a failed write is ignored).

#include <QString>

#include <memory>

class QSettings;

namespace corvane {

namespace settings_names {
inline const QString kPathLatestOpened = QStringLiteral("PathLatestOpened");
inline const QString kWatermarkText = QStringLiteral("WatermarkText");
inline const QString kWatermarkImagePath = QStringLiteral("WatermarkImagePath");
}  // namespace settings_names

class CRegistryStore {
public:
    // The user's store: the registry key on Windows, "corvane.conf" in the application's
    // configuration folder elsewhere.
    static QString DefaultLocation();

    // A registry key path ("HKEY_CURRENT_USER\...") on Windows, an INI file path elsewhere (its
    // folder is created at the first write).
    explicit CRegistryStore(const QString& location);
    ~CRegistryStore();
    CRegistryStore(const CRegistryStore&) = delete;
    CRegistryStore& operator=(const CRegistryStore&) = delete;

    // "" when the value is absent or cannot be read.
    QString ReadString(const QString& valueName) const;
    // True when the value was stored.
    bool WriteString(const QString& valueName, const QString& text);

private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace corvane
