// Writes the seed corpus of today_formats_fuzzer into the folder given: WebP (lossy, lossless,
// with alpha) and AVIF (with alpha) from our own encoders, all with EXIF, XMP and a colour
// profile; and HEIC, an AVIF grid, a 10-bit AVIF and JPEG XL (one recompressed from a JPEG) from
// the reference encoders where they are installed.

#include "imaging/metadata.h"
#include "today_formats.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>

namespace {

QImage Picture(bool alpha) {
    QImage picture(37, 23, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            picture.setPixel(x, y, qRgba(x * 7, y * 11, (x ^ y) * 5, alpha ? x * 6 : 255));
        }
    }
    picture.setColorSpace(QColorSpace::DisplayP3);
    return picture;
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A few EXIF and XMP blocks as a camera would write them.
corvane::MetadataBlocks Blocks() {
    corvane::MetadataBlocks blocks;
    // A little-endian TIFF structure: one IFD with Make = "Seed".
    blocks.exif = QByteArray::fromHex(
        "49492a000800000001000f010200050000001a0000000000000053656564"
        "00");
    blocks.xmp =
        "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/"
        "02/22-rdf-syntax-ns#'><rdf:Description xmlns:dc='http://purl.org/dc/elements/"
        "1.1/' dc:format='image/avif'/></rdf:RDF></x:xmpmeta>";
    return blocks;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const corvane::MetadataBlocks blocks = Blocks();
    struct Seed {
        const char* name;
        bool alpha;
        int codec;  // 0 lossy WebP, 1 lossless WebP, 2 AVIF
    };
    for (const Seed& seed : {Seed{"lossy.webp", false, 0}, Seed{"lossless_alpha.webp", true, 1},
                             Seed{"alpha.avif", true, 2}, Seed{"opaque.avif", false, 2}}) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const QImage picture = Picture(seed.alpha);
        const bool ok = seed.codec == 2
                            ? corvane::WriteAvif(picture, &blocks, &buffer)
                            : corvane::WriteWebp(picture, seed.codec == 1, &blocks, &buffer);
        if (!ok || !Write(folder.filePath(QString::fromLatin1(seed.name)), bytes)) {
            return 1;
        }
    }
    // From the reference encoders, where installed; the corpus is whole without them too.
    const QString png = folder.filePath(QStringLiteral("seed_source.png"));
    Picture(false).save(png, "PNG");
    const auto run = [](const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        process.waitForFinished(60000);
    };
    run(QStringLiteral("heif-enc"), {QStringLiteral("-o"), folder.filePath("seed.heic"), png});
    run(QStringLiteral("avifenc"),
        {QStringLiteral("-g"), QStringLiteral("1x1"), png, folder.filePath("grid.avif")});
    run(QStringLiteral("avifenc"),
        {QStringLiteral("-d"), QStringLiteral("10"), png, folder.filePath("ten_bit.avif")});
    run(QStringLiteral("cjxl"),
        {png, folder.filePath("lossy.jxl"), QStringLiteral("-d"), QStringLiteral("1")});
    run(QStringLiteral("cjxl"),
        {png, folder.filePath("lossless.jxl"), QStringLiteral("-d"), QStringLiteral("0")});
    // A JPEG recompressed: the decoder rebuilds it for its metadata.
    const QString jpeg = folder.filePath(QStringLiteral("seed_source.jpg"));
    Picture(false).save(jpeg, "JPEG");
    run(QStringLiteral("cjxl"), {jpeg, folder.filePath("recompressed_jpeg.jxl")});
    QFile::remove(png);
    QFile::remove(jpeg);
    return 0;
}
