// PLACEHOLDER: replaced by the real implementation before commit.
#include "imaging/image_processor.h"

namespace corvane {

void ImageProcessor::NormalizePixelFormat(ImageSlot) const {}
bool ImageProcessor::CopyRegion(ImageSlot, Bitmap*, int, int, int, int, int, int) const { return false; }

}  // namespace corvane
