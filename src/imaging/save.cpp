// PLACEHOLDER: replaced by the real implementation before commit.
#include "imaging/image_processor.h"

namespace corvane {

bool ImageProcessor::SaveImage(ImageSlot, const QString&, const OutputFormat&, const Watermark*) const { return false; }

}  // namespace corvane
