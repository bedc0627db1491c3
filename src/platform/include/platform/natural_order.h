#pragma once
// Natural order of names and paths, the order a file manager shows: case-insensitive, runs of
// ASCII digits compared by their value ("a2" before "a10"). Deterministic: texts that compare
// equal this way ("a01" and "a1", "A" and "a") are ordered by a fixed tie-break, so sorting the
// same list always gives the same result.

#include <QString>

namespace corvane {

// Negative, zero or positive as a sorts before, with or after b. Zero only for identical texts.
int NaturalCompare(const QString& a, const QString& b);
inline bool NaturalLess(const QString& a, const QString& b) {
    return NaturalCompare(a, b) < 0;
}

}  // namespace corvane
