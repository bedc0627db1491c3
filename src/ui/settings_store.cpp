#include "ui/settings_store.h"

#include <QSettings>
#include <QStandardPaths>

namespace corvane {

QString CRegistryStore::DefaultLocation() {
#ifdef _WIN32
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\Corvane");
#else
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/corvane.conf");
#endif
}

CRegistryStore::CRegistryStore(const QString& location)
#ifdef _WIN32
    : settings_(std::make_unique<QSettings>(location, QSettings::NativeFormat))
#else
    : settings_(std::make_unique<QSettings>(location, QSettings::IniFormat))
#endif
{
}

CRegistryStore::~CRegistryStore() = default;

QString CRegistryStore::ReadString(const QString& valueName) const {
    const QVariant value = settings_->value(valueName);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

bool CRegistryStore::WriteString(const QString& valueName, const QString& text) {
    settings_->setValue(valueName, text);
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

}  // namespace corvane
