// libFuzzer target: JPEGs decoded a few rows at a time, checked against the ordinary path. Every
// input is made into a PNG band by band and loaded turned by a quarter as it is decoded; where
// either path takes the file, its result must be exactly what loading the picture whole through
// Qt's reader and then encoding or turning it gives. Any crash, sanitizer report, memory beyond the
// limit or difference is a finding.

#include "imaging/image_processor.h"
#include "support/output_formats.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using corvane::BitmapPtr;
using corvane::ImageProcessor;

// Larger pictures only cost time: the paths under test work a strip at a time.
constexpr qint64 kMaxPixels = 1 << 22;

bool SmallEnough(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QSize size = QImageReader(&buffer, "jpeg").size();
    return size.isValid() && qint64(size.width()) * size.height() <= kMaxPixels;
}

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckStreamed(const QString& path) {
    const ImageProcessor processor;
    corvane::EncodedFile streamed;
    corvane::LoadError error;
    const auto outcome = processor.StreamJpegToPng(path, false, &streamed, &error);
    BitmapPtr whole = processor.LoadImage(path);
    if (outcome == ImageProcessor::Streamed::Converted) {
        corvane::EncodedFile encoded;
        Require(corvane::IsUsable(whole.get()));
        Require(processor.EncodeImage(whole, corvane::test::FormatOfKind(corvane::FormatKind::Png),
                                      nullptr, &encoded));
        Require(encoded.bytes == streamed.bytes);
    }
}

void CheckTurned(const QString& path) {
    const ImageProcessor processor;
    bool turned = false;
    const BitmapPtr image = processor.LoadImage(path, nullptr, {}, nullptr, 90, &turned);
    if (!turned) {
        return;
    }
    BitmapPtr whole = processor.LoadImage(path);
    Require(corvane::IsUsable(whole.get()));
    processor.RotateQuarter(whole, whole.get(), 90);
    const QImage& a = image->Image();
    const QImage& b = whole->Image();
    Require(a == b && a.colorSpace() == b.colorSpace());
    Require(a.dotsPerMeterX() == b.dotsPerMeterX() && a.dotsPerMeterY() == b.dotsPerMeterY());
    Require(a.textKeys() == b.textKeys());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir folder;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!bytes.startsWith("\xFF\xD8") || !SmallEnough(bytes)) {
        return 0;
    }
    const QString path = folder.filePath(QStringLiteral("input.jpg"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        return 0;
    }
    file.close();
    CheckStreamed(path);
    CheckTurned(path);
    return 0;
}
