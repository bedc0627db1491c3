// PLACEHOLDER: replaced by the real implementation before commit.
#include "imaging/image_processor.h"

namespace corvane {

bool ImageProcessor::DrawTextWatermark(ImageSlot, const QString&) const { return false; }
bool ImageProcessor::DrawImageWatermark(ImageSlot, Bitmap*) const { return false; }
int ImageProcessor::WatermarkFontSize(int, int) { return 0; }

}  // namespace corvane
