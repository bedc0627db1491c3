// PLACEHOLDER: replaced by the real implementation before commit.
#include "imaging/image_processor.h"

namespace corvane {

void ImageProcessor::CutByCount(Bitmap*, std::vector<BitmapPtr>*, int, int) const {}
void ImageProcessor::CutByCellSize(Bitmap*, std::vector<BitmapPtr>*, int, int, int*, int*) const {}

}  // namespace corvane
