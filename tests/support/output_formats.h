#pragma once
// The run's record of one output format, as BuildFormatList makes it, for tests and benchmarks
// that save in a format of their choice.

#include "imaging/output_format.h"

namespace corvane::test {

inline OutputFormat FormatOfKind(FormatKind kind) {
    FormatChoice choice;
    choice.all = true;
    choice.webp = true;
    choice.avif = true;
    for (const OutputFormat& format : BuildFormatList(choice)) {
        if (format.kind == kind) {
            return format;
        }
    }
    return {};
}

}  // namespace corvane::test
