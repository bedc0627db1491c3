#include "platform/natural_order.h"

namespace corvane {
namespace {

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Case folding, without the table lookup for ASCII (most file names): listings sort every folder.
char16_t Folded(QChar c) {
    const char16_t unit = c.unicode();
    if (unit < 0x80) {
        return unit >= u'A' && unit <= u'Z' ? unit + (u'a' - u'A') : unit;
    }
    return c.toCaseFolded().unicode();
}

// Compares the digit runs starting at a[i] and b[j] by value and moves both indexes past them.
// Records in `zeros` which run had more leading zeros, as a tie-break for equal values.
int CompareDigitRuns(QStringView a, qsizetype& i, QStringView b, qsizetype& j, int& zeros) {
    const qsizetype startA = i;
    const qsizetype startB = j;
    while (i < a.size() && a[i] == u'0') {
        ++i;
    }
    while (j < b.size() && b[j] == u'0') {
        ++j;
    }
    const qsizetype zerosA = i - startA;
    const qsizetype zerosB = j - startB;
    const qsizetype valueA = i;
    const qsizetype valueB = j;
    while (i < a.size() && IsAsciiDigit(a[i])) {
        ++i;
    }
    while (j < b.size() && IsAsciiDigit(b[j])) {
        ++j;
    }
    const qsizetype lengthA = i - valueA;
    const qsizetype lengthB = j - valueB;
    if (lengthA != lengthB) {
        return lengthA < lengthB ? -1 : 1;
    }
    for (qsizetype k = 0; k < lengthA; ++k) {
        if (a[valueA + k] != b[valueB + k]) {
            return a[valueA + k] < b[valueB + k] ? -1 : 1;
        }
    }
    if (zeros == 0 && zerosA != zerosB) {
        zeros = zerosA < zerosB ? -1 : 1;
    }
    return 0;
}

}  // namespace

int NaturalCompare(QStringView a, QStringView b) {
    qsizetype i = 0;
    qsizetype j = 0;
    int zeros = 0;
    while (i < a.size() && j < b.size()) {
        if (IsAsciiDigit(a[i]) && IsAsciiDigit(b[j])) {
            if (const int order = CompareDigitRuns(a, i, b, j, zeros); order != 0) {
                return order;
            }
            continue;
        }
        const char16_t ca = Folded(a[i]);
        const char16_t cb = Folded(b[j]);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) {
        return i < a.size() ? 1 : -1;
    }
    if (zeros != 0) {
        return zeros;
    }
    // Equal in natural order: fall back to the plain code-unit order for a total order.
    const int plain = a.compare(b, Qt::CaseSensitive);
    return plain < 0 ? -1 : (plain > 0 ? 1 : 0);
}

}  // namespace corvane
