// PLACEHOLDER: replaced by the real implementation before commit.
#include "imaging/image_processor.h"

namespace corvane {

void ImageProcessor::RotateByAngle(ImageSlot, float, Colour) const {}
void ImageProcessor::RotateQuarter(ImageSlot, Bitmap*, int) const {}

}  // namespace corvane
