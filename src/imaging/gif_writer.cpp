// PLACEHOLDER: replaced by the real implementation before commit.
#include "imaging/gif_writer.h"

namespace corvane {

bool WriteGif(const QImage&, QIODevice*) { return false; }

}  // namespace corvane
