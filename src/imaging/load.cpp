// PLACEHOLDER: replaced by the real implementation before commit.
#include "imaging/image_processor.h"

namespace corvane {

BitmapPtr ImageProcessor::LoadImage(const QString&, RawFormat*) const { return nullptr; }

}  // namespace corvane
