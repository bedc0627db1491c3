#pragma once
// How images are held and handed between operations.
//
// A Bitmap is a QImage plus the status of the last operation made on it. Reading the status with
// TakeStatus() returns it and resets it to Ok, so a failure is seen once: the next IsUsable() test
// of a failed bitmap is false and clears the failure.
//
// An image slot (ImageSlot) is a reference to the owning pointer of the current bitmap. An
// operation that produces a new bitmap builds it completely, then replaces what the slot held;
// an operation that leaves the image unchanged leaves the slot alone.

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

    void SetStatus(ImageStatus status) { status_ = status; }
    // Returns the status of the last operation and resets it to Ok.
    ImageStatus TakeStatus() {
        const ImageStatus status = status_;
        status_ = ImageStatus::Ok;
        return status;
    }

private:
    QImage image_;
    ImageStatus status_ = ImageStatus::Ok;
};

using BitmapPtr = std::unique_ptr<Bitmap>;
using ImageSlot = BitmapPtr&;

// True when the bitmap exists, its last status is Ok (the status is consumed), and its width and
// height are greater than 0, tested in that order.
bool IsUsable(Bitmap* bitmap);

}  // namespace corvane
