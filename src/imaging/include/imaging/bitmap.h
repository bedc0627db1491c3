#pragma once
// How images are held and handed between operations.
//
// A Bitmap is a QImage plus the status of the last operation made on it. Reading the status with
// TakeStatus() returns it and resets it to Ok; Status() and IsUsable() only look, so that a bitmap
// shared between threads may be tested by all of them.
//
// An image slot (ImageSlot) is a reference to the owning pointer of the current bitmap. An
// operation that produces a new bitmap builds it completely, then replaces what the slot held;
// an operation that leaves the image unchanged leaves the slot alone.
//
// Beside its pixels a bitmap holds the picture's metadata (metadata.h), shared and never changed,
// and its colour profile (the QImage's colour space). A bitmap made from another one - turned,
// resized, a tile of it, a mosaic starting with it - keeps both: see KeepPictureInfoOf().

#include "imaging/metadata.h"

#include <QImage>

#include <memory>

namespace corvane {

enum class ImageStatus {
    Ok,
    InvalidParameter,
    OutOfMemory,    // a bitmap could not be allocated
    UnknownFormat,  // the bytes are not an image we can decode
    DrawFailed,
};

class Bitmap {
public:
    Bitmap() = default;
    explicit Bitmap(QImage image, ImageStatus status = ImageStatus::Ok)
        : image_(std::move(image)), status_(status) {}

    QImage& Image() { return image_; }
    const QImage& Image() const { return image_; }
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }

    const MetadataPtr& Metadata() const { return metadata_; }
    void SetMetadata(MetadataPtr metadata) { metadata_ = std::move(metadata); }
    // Takes over the metadata and the colour profile of the bitmap this one was made from.
    void KeepPictureInfoOf(const Bitmap& source);

    void SetStatus(ImageStatus status) { status_ = status; }
    // The status of the last operation, left as it is.
    ImageStatus Status() const { return status_; }
    // Returns the status of the last operation and resets it to Ok.
    ImageStatus TakeStatus() {
        const ImageStatus status = status_;
        status_ = ImageStatus::Ok;
        return status;
    }

private:
    QImage image_;
    MetadataPtr metadata_;
    ImageStatus status_ = ImageStatus::Ok;
};

using BitmapPtr = std::unique_ptr<Bitmap>;
using ImageSlot = BitmapPtr&;

// True when the bitmap exists, its last status is Ok, and its width and height are greater than 0.
// Changes nothing.
bool IsUsable(const Bitmap* bitmap);

}  // namespace corvane
