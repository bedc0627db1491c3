#pragma once
// The language both programs speak: Simplified Chinese, unless the user asks for English
// (CORVANE_LANG=en, corvane-batch --lang en) or their locale's language is English. Every other
// language gets Chinese, the program's own. The JSON report speaks no language: its keys and
// kinds are the same in both.

#include <QString>
#include <QStringList>
#include <QTranslator>

#include <optional>

namespace corvane {

enum class Language { Chinese, English };

// The language a name asks for ("en", "en_GB.UTF-8", "zh", "zh_CN", "C", ...): English for an
// English one, Chinese for every other; empty when the name is empty (nothing asked).
std::optional<Language> LanguageNamed(const QString& name);

// What the user asked for: `asked` (corvane-batch --lang) when given, else CORVANE_LANG, else the
// locale's language for messages (LC_ALL, LC_MESSAGES, LANG, in POSIX order).
Language UserLanguage(const QString& asked = {});

// Where the program's catalogues are looked for: beside an installed program
// (<prefix>/share/corvane/translations) and in a build tree (<build>/translations).
QStringList CatalogueFolders();

// Installs the catalogues of `language` into the application for as long as this object lives:
// for English ours (corvane_en.qm); for Chinese, when `qtTexts`, Qt's own (qtbase_zh_CN.qm: the
// colour and file dialogs, text fields' context menus, message box buttons), whose English is
// Qt's source text. corvane-batch shows none of Qt's dialogs and leaves it out.
enum class QtTexts { Load, Skip };
class Translations {
public:
    explicit Translations(Language language, QtTexts qtTexts = QtTexts::Load);
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    // Whether our English catalogue was found and installed.
    bool HasOwnTexts() const { return ownInstalled_; }
    // Whether Qt's own Chinese catalogue was found and installed.
    bool HasQtTexts() const { return qtInstalled_; }

private:
    QTranslator own_;
    QTranslator qt_;
    bool ownInstalled_ = false;
    bool qtInstalled_ = false;
};

}  // namespace corvane
