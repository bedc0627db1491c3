#pragma once
// The program's texts in the user's language. Qt's own texts - the standard dialogs (colour,
// file), the context menus of text fields, the buttons of message boxes - come from Qt's catalogue
// for the locale (qtbase_zh_CN.qm and its kind, in Qt's translations folder). Our own texts are
// Chinese as written; a catalogue of ours will be installed here beside Qt's.

#include <QLocale>
#include <QTranslator>

namespace corvane {

class Translations {
public:
    // Installs the catalogues for `locale` into the application, for as long as this object
    // lives. A locale without a catalogue (English, C) installs nothing: Qt's texts are English.
    explicit Translations(const QLocale& locale = QLocale::system());
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    // Whether Qt's own catalogue was found and installed.
    bool HasQtTexts() const { return qtInstalled_; }

private:
    QTranslator qt_;
    bool qtInstalled_ = false;
};

}  // namespace corvane
