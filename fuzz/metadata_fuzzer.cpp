// libFuzzer target: reading the metadata of arbitrary bytes (with the text chunks Qt finds), then
// writing what was read into small JPEG, PNG and TIFF pictures of our encoder, both through
// Exiv2's rewrite and through the save path (blocks put into the stream, a TIFF directory
// appended). Any crash, hang, sanitizer report, memory beyond the limit, an orientation outside
// 1-8 or a written file that is no longer the picture is a finding.

#include "imaging/image_processor.h"
#include "imaging/metadata.h"
#include "imaging/png_chunks.h"
#include "imaging/raster_codec.h"
#include "support/output_formats.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using corvane::FormatKind;

constexpr FormatKind kHolders[] = {FormatKind::Jpeg, FormatKind::Png, FormatKind::Tiff};

QByteArray Encoded(FormatKind kind) {
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    corvane::EncodeRaster(image, kind, &buffer);
    return bytes;
}

const QByteArray& Target(int index) {
    static const QByteArray targets[] = {Encoded(kHolders[0]), Encoded(kHolders[1]),
                                         Encoded(kHolders[2])};
    return targets[index];
}

// The text chunks the loader hands over beside the bytes, as Qt's reader finds them.
QMap<QString, QString> TextsOf(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QMap<QString, QString> texts;
    for (const QString& key : reader.textKeys()) {
        texts.insert(key, reader.text(key));
    }
    return texts;
}

// Saves a small picture carrying `metadata` as `kind` the way a run does; aborts unless a file
// that opens as the picture is written.
void SaveWith(const corvane::MetadataPtr& metadata, FormatKind kind) {
    static const corvane::ImageProcessor processor;
    static const QTemporaryDir folder;
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    corvane::BitmapPtr bitmap = std::make_unique<corvane::Bitmap>(image);
    bitmap->SetMetadata(metadata);
    const QString path = folder.filePath(QStringLiteral("out"));
    if (!processor.SaveImage(bitmap, path, corvane::test::FormatOfKind(kind), nullptr,
                             corvane::IfExists::Replace) ||
        QImage(path).size() != QSize(8, 6)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    // The loader turns such a PNG away before Qt's reader allocates what it declares.
    const QMap<QString, QString> texts =
        corvane::PngChunksFit(bytes) ? TextsOf(bytes) : QMap<QString, QString>();
    const corvane::MetadataRead read = corvane::ReadMetadata(bytes, texts);
    if (read.orientation < 1 || read.orientation > 8) {
        std::abort();
    }
    if (read.metadata == nullptr) {
        return 0;
    }
    for (int i = 0; i < 3; ++i) {
        QByteArray written;
        QBuffer buffer(&written);
        buffer.open(QIODevice::WriteOnly);
        const corvane::MetadataWrite result = corvane::WriteWithMetadata(
            Target(i), kHolders[i], *read.metadata, QSize(8, 6), &buffer);
        // Nothing is written unless all is, and what is written is still the picture.
        if (result.inserted != !written.isEmpty() ||
            (result.inserted && QImage::fromData(written).size() != QSize(8, 6))) {
            std::abort();
        }
        SaveWith(read.metadata, kHolders[i]);
    }
    return 0;
}
