#pragma once
// An encoding made by Qt directly, independent of the code under test.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>

namespace corvane::test {

inline QByteArray QtEncoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

}  // namespace corvane::test
