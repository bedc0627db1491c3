#pragma once
// A JPEG decoded straight into its picture turned by a quarter, so that the picture is held once
// instead of decoded whole and then copied turned. Private to the imaging library.

#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace corvane {

struct TurnedJpeg {
    enum class Outcome {
        Decoded,     // `image` is the picture turned
        NotDecoded,  // not a picture this decoder takes (CMYK, unreadable header, no memory)
        Damaged,     // libjpeg gave up on the data; `error` says why
    };
    Outcome outcome = Outcome::NotDecoded;
    QImage image;
    QString error;
};

// The JPEG in `bytes` as Qt's reader decodes it (RGB32 or Grayscale8, with its colour profile,
// resolution and comments), turned clockwise by `degrees` (90, 180 or 270) exactly as
// TurnQuarter turns it; in kept memory (picture_memory.h).
TurnedJpeg DecodeJpegTurned(QByteArrayView bytes, int degrees);

}  // namespace corvane
