// PLACEHOLDER: replaced by the real implementation before commit.
#include "imaging/metafile.h"

namespace corvane {

bool WriteEmf(const QImage&, QIODevice*) { return false; }
bool WriteWmf(const QImage&, QIODevice*) { return false; }

}  // namespace corvane
