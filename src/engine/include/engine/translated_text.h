#pragma once
// The program's own texts are written in Simplified Chinese, its default language; other languages
// are translations that Qt's translation system finds under the context "corvane" (the catalogue
// translations/corvane_<language>.ts). A fixed text is defined once as a TranslatedText and turns
// into the user's language where it is used; a text built at run time calls
// QCoreApplication::translate("corvane", ...) itself.

#include <QCoreApplication>
#include <QString>

namespace corvane {

struct TranslatedText {
    const char* source;  // UTF-8, marked for lupdate with QT_TRANSLATE_NOOP("corvane", ...)

    QString Text() const { return QCoreApplication::translate("corvane", source); }
    operator QString() const { return Text(); }  // NOLINT: used wherever a QString is
};

}  // namespace corvane
