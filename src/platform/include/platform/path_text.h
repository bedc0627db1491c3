#pragma once
// Path text helpers. Paths are QString (UTF-16). The folder separator is the platform's own;
// a folder path handled by the engine ends with exactly one separator and holds no doubled ones.
// Everything here is pure text: nothing touches the file system.

#include <QChar>
#include <QString>

namespace corvane {

#ifdef _WIN32
inline constexpr QChar kSeparator = u'\\';
#else
inline constexpr QChar kSeparator = u'/';
#endif

// Text after the last separator (all of p when there is none).
QString FileNamePart(const QString& p);
// Text up to and including the last separator; empty when there is none.
QString FolderPart(const QString& p);
// File name up to, not including, its last "."; the whole name when it has no "." (so that an
// output of "README" is named after it, not ".PNG").
QString FileStem(const QString& p);
// File name from its last "." to the end, dot included; empty when the name has no ".". Only the
// name is looked at: a dot in a folder name never makes an extension.
QString FileExtension(const QString& p);

// Removes spaces (U+0020) at both ends.
QString TrimSpaces(const QString& s);
// Trim, collapse every run of separators into one, end with exactly one separator.
QString NormalizeFolderPath(const QString& p);
// The same without trimming: for a text known to name a folder as it stands.
QString CollapseFolderPath(const QString& p);
// Replaces the second ":" of a path (the first one after the drive colon) by "_Drive", so that a
// drive root copied below another folder becomes a folder name. Only meaningful on Windows, where
// CreateFolderChain applies it; on Linux ":" is an ordinary character.
QString ReplaceSecondDriveColon(const QString& p);

// The first `units` UTF-16 code units of s, one fewer when the cut would split a surrogate pair.
QString LeftUnits(const QString& s, qsizetype units);
// The last `units` UTF-16 code units of s, one fewer when the cut would split a surrogate pair
// (a lone surrogate, which stands for an undecodable byte of a name, is a character of its own).
QString RightUnits(const QString& s, qsizetype units);

}  // namespace corvane
