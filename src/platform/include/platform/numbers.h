#pragma once
// Numbers typed into the dialog. Conversions never depend on the process locale: a real number
// uses "." as its decimal point everywhere, so "0.5" reads as 0.5 under a German locale too.

#include <QString>

namespace corvane {

// Trims whitespace at both ends and removes every space (U+0020) inside: " 2 5 " becomes "25".
QString CleanNumberText(const QString& text);

// Leading integer of a text, as the C library's integer conversion reads it: optional leading
// whitespace, an optional sign, then decimal digits. No digits gives 0; values beyond the 32-bit
// range are clamped to it.
int ParseLeadingInt(const QString& text);

// Longest prefix that reads as a decimal real number (after optional leading whitespace and
// sign; an exponent is accepted). No numeric prefix gives 0.0.
double ParseLeadingReal(const QString& text);

}  // namespace corvane
