// PLACEHOLDER: replaced by the real implementation before commit.
#include "imaging/raster_codec.h"

namespace corvane {

bool EncodeRaster(const QImage&, FormatKind, QIODevice*) { return false; }

}  // namespace corvane
