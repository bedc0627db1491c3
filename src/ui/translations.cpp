#include "ui/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace corvane {

Translations::Translations(const QLocale& locale) {
    // "qtbase" holds the texts of the widgets and dialogs the program uses; the folder is where
    // this Qt keeps its catalogues (Debian: /usr/share/qt6/translations, qt6-translations-l10n).
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (qt_.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        qtInstalled_ = QCoreApplication::installTranslator(&qt_);
    }
}

Translations::~Translations() {
    if (qtInstalled_) {
        QCoreApplication::removeTranslator(&qt_);
    }
}

}  // namespace corvane
