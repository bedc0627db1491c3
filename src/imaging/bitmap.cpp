#include "imaging/bitmap.h"

#include <QColorSpace>

namespace corvane {

void Bitmap::KeepPictureInfoOf(const Bitmap& source) {
    metadata_ = source.metadata_;
    // Drawing into a new image, and Qt's own quarter turn, leave the colour space behind. Set
    // only when it differs, so that an image sharing its pixels is not copied for nothing.
    if (image_.colorSpace() != source.image_.colorSpace()) {
        image_.setColorSpace(source.image_.colorSpace());
    }
}

bool IsUsable(const Bitmap* bitmap) {
    return bitmap != nullptr && bitmap->Status() == ImageStatus::Ok && bitmap->Width() > 0 &&
           bitmap->Height() > 0;
}

}  // namespace corvane
