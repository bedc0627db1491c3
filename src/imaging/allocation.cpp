#include "allocation.h"

#include "imaging/picture_memory.h"

#include <limits>

namespace corvane {
namespace {

// Twice the largest image the loader accepts, so that any loadable image can be turned by any
// angle; a request beyond it is refused as if memory had run out, before the system overcommits
// and the process is killed while filling it.
constexpr qint64 kMaxPixels = 2 * kMaxLoadPixels;

}  // namespace

QImage AllocateImage(qint64 width, qint64 height, QImage::Format format) {
    if (width <= 0 || height <= 0 || width > std::numeric_limits<int>::max() ||
        height > std::numeric_limits<int>::max() || width > kMaxPixels / height) {
        return {};
    }
    return NewPicture(static_cast<int>(width), static_cast<int>(height), format);
}

BitmapPtr FailedBitmap(ImageStatus status) {
    return std::make_unique<Bitmap>(QImage(), status);
}

BitmapPtr DerivedBitmap(QImage image, const Bitmap& source) {
    if (image.isNull()) {
        return FailedBitmap();
    }
    auto bitmap = std::make_unique<Bitmap>(std::move(image));
    bitmap->KeepPictureInfoOf(source);
    return bitmap;
}

}  // namespace corvane
