#include "form_rules/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>

namespace corvane {

std::optional<Language> LanguageNamed(const QString& name) {
    if (name.isEmpty()) {
        return std::nullopt;
    }
    // "en", "en_US.UTF-8", "en-GB", "English": the language is what comes before '_', '-' or '.'.
    const QString language = name.section(u'.', 0, 0).section(u'_', 0, 0).section(u'-', 0, 0);
    return language.compare(QStringLiteral("en"), Qt::CaseInsensitive) == 0 ||
                   language.compare(QStringLiteral("english"), Qt::CaseInsensitive) == 0
               ? Language::English
               : Language::Chinese;
}

Language UserLanguage(const QString& asked) {
    if (const auto language = LanguageNamed(asked)) {
        return *language;
    }
    for (const char* variable : {"CORVANE_LANG", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const auto language = LanguageNamed(qEnvironmentVariable(variable))) {
            return *language;
        }
    }
    return Language::Chinese;
}

QStringList CatalogueFolders() {
    const QString programs = QCoreApplication::applicationDirPath();
    return {programs + QStringLiteral("/../share/corvane/translations"),
            programs + QStringLiteral("/../translations")};
}

Translations::Translations(Language language, QtTexts qtTexts) {
    if (language == Language::English) {
        for (const QString& folder : CatalogueFolders()) {
            if (own_.load(QStringLiteral("corvane_en"), QDir::cleanPath(folder))) {
                ownInstalled_ = QCoreApplication::installTranslator(&own_);
                break;
            }
        }
        return;
    }
    if (qtTexts == QtTexts::Skip) {
        return;
    }
    // Debian keeps Qt's catalogues in /usr/share/qt6/translations (qt6-translations-l10n).
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (qt_.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                 QStringLiteral("_"), folder)) {
        qtInstalled_ = QCoreApplication::installTranslator(&qt_);
    }
}

Translations::~Translations() {
    if (qtInstalled_) {
        QCoreApplication::removeTranslator(&qt_);
    }
    if (ownInstalled_) {
        QCoreApplication::removeTranslator(&own_);
    }
}

}  // namespace corvane
