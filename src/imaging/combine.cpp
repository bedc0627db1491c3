// PLACEHOLDER: replaced by the real implementation before commit.
#include "imaging/image_processor.h"

namespace corvane {

bool ImageProcessor::AppendToCanvas(ImageSlot, Bitmap*, int, int) const { return false; }
bool ImageProcessor::ClearWithColour(Bitmap*, Colour) const { return false; }

}  // namespace corvane
