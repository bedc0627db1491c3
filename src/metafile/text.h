#pragma once
// Private to the metafile reader: fonts for the text records of EMF, WMF and EMF+.

#include <QFont>
#include <QString>

namespace corvane::metafile {

// Text needs the font database of a QGuiApplication; without one no text is drawn.
bool CanDrawText();

// A font of the family a file names where the system has it; otherwise, and for characters the
// family lacks, a family that covers Chinese, Japanese and Korean.
QFont FontOfFamily(const QString& family);

// Decodes text in the code page of a GDI character set (ANSI_CHARSET, GB2312_CHARSET, ...).
QString DecodeCharset(const QByteArray& bytes, int charset);

}  // namespace corvane::metafile
