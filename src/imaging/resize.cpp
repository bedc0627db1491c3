// PLACEHOLDER: replaced by the real implementation before commit.
#include "imaging/image_processor.h"

namespace corvane {

void ImageProcessor::ResizeByRatio(ImageSlot, double) const {}
void ImageProcessor::ResizeToSize(ImageSlot, int, int) const {}
void ImageProcessor::LimitLongEdge(ImageSlot, int) const {}
void ImageProcessor::ResampleTo(ImageSlot, int, int) const {}

}  // namespace corvane
