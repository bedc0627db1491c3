#pragma once
// Natural order of names and paths, the order a file manager shows: case-insensitive, runs of
// ASCII digits compared by their value ("a2" before "a10"). Deterministic: texts that compare
// equal this way ("a01" and "a1", "A" and "a") are ordered by a fixed tie-break, so sorting the
// same list always gives the same result.

#include <QString>
#include <QStringView>

namespace corvane {

// Negative, zero or positive as a sorts before, with or after b. Zero only for identical texts.
int NaturalCompare(QStringView a, QStringView b);
inline bool NaturalLess(QStringView a, QStringView b) {
    return NaturalCompare(a, b) < 0;
}

}  // namespace corvane
