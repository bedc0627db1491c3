#include "selection/profile_store.h"

#include "platform/numbers.h"

#include <QSettings>
#include <QStandardPaths>

namespace corvane {
namespace {

QString FullKey(const QString& section, const QString& key) {
    return section + u'/' + key;
}

}  // namespace

ProfileStore::ProfileStore(const QString& filePath)
    : path_(filePath), settings_(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

ProfileStore::~ProfileStore() = default;

QString ProfileStore::DefaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/corvane.ini");
}

QString ProfileStore::ReadString(const QString& section, const QString& key) const {
    return settings_->value(FullKey(section, key)).toString();
}

int ProfileStore::ReadInt(const QString& section, const QString& key, int fallback) const {
    const QString text = ReadString(section, key);
    return text.trimmed().isEmpty() ? fallback : ParseLeadingInt(text);
}

void ProfileStore::WriteString(const QString& section, const QString& key, const QString& value) {
    settings_->setValue(FullKey(section, key), value);
}

void ProfileStore::WriteInt(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void ProfileStore::RemoveKey(const QString& section, const QString& key) {
    settings_->remove(FullKey(section, key));
}

void ProfileStore::Sync() {
    settings_->sync();
}

}  // namespace corvane
