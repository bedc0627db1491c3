// Writes the seed corpus of the metadata fuzzer: JPEG, PNG and TIFF pictures with full EXIF,
// XMP, IPTC and comment blocks in every orientation, and JPEGs whose EXIF or XMP is damaged or
// hostile (looping directories, huge counts and sizes, pointers into each other, an entity bomb),
// and PNGs whose compressed text inflates to far more than any metadata or runs past the end.
//
//   metadata_seeds <folder>

#include "support/metadata_samples.h"

#include <QFile>
#include <QImage>

#include <cstdio>

namespace {

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: metadata_seeds <folder>\n");
        return 2;
    }
    using namespace corvane::test;
    const QString folder = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    QImage picture(12, 8, QImage::Format_RGB32);
    picture.fill(Qt::darkYellow);
    bool ok = true;
    for (const char* format : {"jpeg", "png", "tiff"}) {
        for (int orientation : {1, 6, 8}) {
            ok &= Write(
                folder + QStringLiteral("%1_%2.%1").arg(QLatin1String(format)).arg(orientation),
                SampleWithMetadata(picture, format, orientation, picture.size()));
        }
    }
    // Standard text chunks beside the XMP.
    QImage texted = picture;
    texted.setText(QStringLiteral("Title"), QStringLiteral("a title"));
    texted.setText(QStringLiteral("Author"), QStringLiteral("an author"));
    texted.setText(QStringLiteral("Comment"), QStringLiteral("a comment"));
    ok &= Write(folder + QStringLiteral("png_texts.png"),
                SampleWithMetadata(texted, "png", 1, picture.size()));
    // A packet too large for a JPEG segment: only PNG and TIFF can hold it.
    for (const char* format : {"png", "tiff"}) {
        ok &= Write(folder + QStringLiteral("%1_long_xmp.%1").arg(QLatin1String(format)),
                    SampleWithLongDescription(picture, format, 70000));
    }
    const QByteArray jpeg = SampleWithMetadata(picture, "jpeg", 1, picture.size());
    const struct {
        const char* name;
        QByteArray payload;
    } hostile[] = {
        {"exif_not_tiff", ExifNotTiff()},
        {"exif_looping_ifds", ExifLoopingIfds()},
        {"exif_huge_entry_count", ExifHugeEntryCount()},
        {"exif_huge_value", ExifHugeValue()},
        {"exif_pointer_chain", ExifDeepPointerChain()},
        {"exif_stray_storage_tags", ExifStrayStorageTags()},
        {"xmp_not_xml", XmpPayload("<x:xmpmeta><rdf:RDF")},
        {"xmp_entity_bomb", XmpPayload(XmpEntityBomb())},
    };
    for (const auto& [name, payload] : hostile) {
        ok &= Write(folder + QLatin1String(name) + QStringLiteral(".jpg"), WithApp1(jpeg, payload));
    }
    // Compressed PNG text that inflates to 64 MiB.
    ok &= Write(folder + QStringLiteral("png_xmp_bomb.png"),
                PngWithTextBomb(picture, "iTXt", "XML:com.adobe.xmp", ' ', 64 << 20));
    ok &= Write(folder + QStringLiteral("png_exif_bomb.png"),
                PngWithTextBomb(picture, "zTXt", "Raw profile type exif", '0', 64 << 20));
    // Found by this fuzzer: a text chunk of a 4 kB file declaring 2 GiB, which Qt's reader
    // allocated and cleared.
    ok &= Write(folder + QStringLiteral("png_chunk_past_the_end.png"),
                PngEndingInChunk(picture, "zTXt", 0x6F6F6F6Fu, 4000));
    return ok ? 0 : 1;
}
