#include "support/metadata_samples.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QtEndian>

#include <exiv2/exiv2.hpp>

#include <functional>

namespace corvane::test {
namespace {

QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

// A small JPEG thumbnail: the picture it stands for must not outlive a conversion.
QByteArray Thumbnail() {
    QImage thumb(16, 12, QImage::Format_RGB32);
    thumb.fill(Qt::darkGreen);
    return Encoded(thumb, "jpeg");
}

// Opens `encoded` with Exiv2, applies `edit` and gives the written bytes.
QByteArray Edited(const QByteArray& encoded, const std::function<void(Exiv2::Image&)>& edit) {
    try {
        auto image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(encoded.constData()), encoded.size());
        image->readMetadata();
        edit(*image);
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.open();
        const Exiv2::DataBuf data = io.read(static_cast<long>(io.size()));
        return QByteArray(reinterpret_cast<const char*>(data.pData_), data.size_);
    } catch (const std::exception&) {
        return {};
    }
}

void AddSampleTags(Exiv2::Image& image) {
    for (const SampleTag& tag : SampleTags()) {
        const std::string key = tag.exiv2Key;
        if (key.rfind("Exif.", 0) == 0) {
            image.exifData()[key] = std::string(tag.exiv2Value);
        } else if (key.rfind("Iptc.", 0) == 0) {
            image.iptcData()[key] = std::string(tag.exiv2Value);
        } else {
            // Exiv2 shows a language alternative with its language; it takes the plain text.
            image.xmpData()[key] = std::string(tag.exiftoolValue);
        }
    }
}

// Little-endian TIFF structures, put together entry by entry.
class TiffBytes {
public:
    TiffBytes() { bytes_ = QByteArray("Exif\0\0II*\0", 10); }
    TiffBytes& U16(quint16 value) { return Append(value); }
    TiffBytes& U32(quint32 value) { return Append(value); }
    // An IFD entry: tag, type, count, value or offset (offsets count from the TIFF header).
    TiffBytes& Entry(quint16 tag, quint16 type, quint32 count, quint32 value) {
        return U16(tag).U16(type).U32(count).U32(value);
    }
    TiffBytes& Raw(const QByteArray& raw) {
        bytes_.append(raw);
        return *this;
    }
    QByteArray Bytes() const { return bytes_; }

private:
    template <typename T>
    TiffBytes& Append(T value) {
        char data[sizeof(T)];
        qToLittleEndian(value, data);
        bytes_.append(data, sizeof(T));
        return *this;
    }
    QByteArray bytes_;
};

QByteArray BigEndian(quint32 value) {
    char data[4];
    qToBigEndian(value, data);
    return QByteArray(data, 4);
}

constexpr quint16 kShort = 3;
constexpr quint16 kLong = 4;
constexpr quint16 kAscii = 2;
constexpr quint16 kExifPointer = 0x8769;
constexpr quint16 kGpsPointer = 0x8825;
constexpr quint16 kInteropPointer = 0xA005;

}  // namespace

const std::vector<SampleTag>& SampleTags() {
    static const std::vector<SampleTag> tags = {
        {"Exif.Image.Make", "IFD0:Make", "Corvane Camera Co", "Corvane Camera Co"},
        {"Exif.Image.Model", "IFD0:Model", "CV-1", "CV-1"},
        {"Exif.Image.Copyright", "IFD0:Copyright", "(c) Test Photographer",
         "(c) Test Photographer"},
        {"Exif.Photo.DateTimeOriginal", "ExifIFD:DateTimeOriginal", "2024:03:05 14:30:00",
         "2024:03:05 14:30:00"},
        {"Exif.Photo.FNumber", "ExifIFD:FNumber", "28/10", "2.8"},
        {"Exif.GPSInfo.GPSLatitudeRef", "GPS:GPSLatitudeRef", "N", "N"},
        {"Exif.GPSInfo.GPSLatitude", "GPS:GPSLatitude", "48/1 51/1 0/1", "48.85"},
        {"Exif.GPSInfo.GPSLongitudeRef", "GPS:GPSLongitudeRef", "E", "E"},
        {"Exif.GPSInfo.GPSLongitude", "GPS:GPSLongitude", "2/1 15/1 0/1", "2.25"},
        {"Xmp.dc.creator", "XMP-dc:Creator", "Test Photographer", "Test Photographer"},
        {"Xmp.dc.title", "XMP-dc:Title", "lang=\"x-default\" Harbour at dawn", "Harbour at dawn"},
        {"Xmp.xmp.Rating", "XMP-xmp:Rating", "4", "4"},
        {"Iptc.Application2.City", "IPTC:City", "Paris", "Paris"},
        {"Iptc.Application2.Keywords", "IPTC:Keywords", "harbour", "harbour"},
        {"Iptc.Application2.Copyright", "IPTC:CopyrightNotice", "(c) Test Photographer",
         "(c) Test Photographer"},
    };
    return tags;
}

QByteArray SampleWithMetadata(const QImage& image, const char* qtFormat, int orientation,
                              QSize statedSize) {
    const bool tiff = QByteArray(qtFormat) == "tiff";
    return Edited(Encoded(image, qtFormat), [&](Exiv2::Image& edited) {
        AddSampleTags(edited);
        Exiv2::ExifData& exif = edited.exifData();
        exif["Exif.Image.Orientation"] = static_cast<uint16_t>(orientation);
        exif["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(statedSize.width());
        exif["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(statedSize.height());
        const QByteArray thumb = Thumbnail();
        Exiv2::ExifThumb(exif).setJpegThumbnail(
            reinterpret_cast<const Exiv2::byte*>(thumb.constData()), thumb.size());
        Exiv2::XmpData& xmp = edited.xmpData();
        xmp["Xmp.tiff.Orientation"] = std::to_string(orientation);
        xmp["Xmp.exif.PixelXDimension"] = std::to_string(statedSize.width());
        xmp["Xmp.exif.PixelYDimension"] = std::to_string(statedSize.height());
        if (!tiff) {
            edited.setComment(kSampleComment);
        }
    });
}

QByteArray SampleWithLongDescription(const QImage& image, const char* qtFormat, int length) {
    return Edited(Encoded(image, qtFormat), [&](Exiv2::Image& edited) {
        AddSampleTags(edited);
        edited.xmpData()["Xmp.dc.description"] = std::string(static_cast<size_t>(length), 'w');
    });
}

QByteArray WithApp1(QByteArray jpeg, const QByteArray& payload) {
    const int length = static_cast<int>(payload.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(length >> 8)).append(char(length & 0xFF)).append(payload);
    return jpeg.insert(2, segment);
}

QByteArray ExifNotTiff() {
    return QByteArray("Exif\0\0XX\x2A\0\x08\0\0\0garbage follows", 27);
}

QByteArray ExifLoopingIfds() {
    // IFD0 at 8: its Exif pointer and its next-IFD offset both point at itself.
    return TiffBytes()
        .U32(8)
        .U16(2)
        .Entry(0x010F, kAscii, 4, 0x00414141)
        .Entry(kExifPointer, kLong, 1, 8)
        .U32(8)
        .Bytes();
}

QByteArray ExifHugeEntryCount() {
    return TiffBytes().U32(8).U16(0xFFFF).Entry(0x010F, kAscii, 4, 0x00414141).U32(0).Bytes();
}

QByteArray ExifHugeValue() {
    return TiffBytes()
        .U32(8)
        .U16(1)
        .Entry(0x010F, kAscii, 0x80000000u, 26)
        .U32(0)
        .Raw("AAAA")
        .Bytes();
}

QByteArray ExifDeepPointerChain() {
    // IFD0 at 8 points to an Exif IFD at 38, which points to an interoperability IFD at 8 and a
    // GPS IFD at 38: every pointer leads into a directory already being read.
    TiffBytes tiff;
    tiff.U32(8).U16(2).Entry(kExifPointer, kLong, 1, 38).Entry(kGpsPointer, kLong, 1, 38).U32(38);
    tiff.U16(2).Entry(kInteropPointer, kLong, 1, 8).Entry(kGpsPointer, kLong, 1, 8).U32(8);
    return tiff.U16(kShort).Bytes();
}

QByteArray ExifStrayStorageTags() {
    // Found by the fuzzer: carried into a TIFF's own directory, such tags made libtiff refuse it.
    TiffBytes tiff;
    tiff.U32(8).U16(3).Entry(0x00BF, 0, 0, 0).Entry(0x0100, 515, 1, 12);
    return tiff.Entry(0x0118, kAscii, 0, 0).U32(0).Bytes();
}

QByteArray XmpPayload(const QByteArray& packet) {
    return QByteArray("http://ns.adobe.com/xap/1.0/\0", 29) + packet;
}

QByteArray XmpEntityBomb() {
    QByteArray packet = "<?xml version=\"1.0\"?>\n<!DOCTYPE x [\n<!ENTITY a \"aaaaaaaaaa\">\n";
    char previous = 'a';
    for (char name = 'b'; name <= 'k'; ++name) {
        packet += QByteArray("<!ENTITY ") + name + " \"";
        for (int i = 0; i < 10; ++i) {
            packet += QByteArray("&") + previous + ";";
        }
        packet += "\">\n";
        previous = name;
    }
    packet +=
        "]>\n<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
        "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" dc:format=\"&k;\"/></rdf:RDF></x:xmpmeta>";
    return packet;
}

quint32 Crc32(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

QByteArray PngWithTextBomb(const QImage& image, const char* chunkType, const char* keyword,
                           char fill, int inflated) {
    const bool international = QByteArray(chunkType) == "iTXt";
    // Keyword, then zTXt: method; iTXt: flag, method, empty language and translated keyword.
    QByteArray data = QByteArray(keyword) + '\0';
    data += international ? QByteArray("\1\0\0\0", 4) : QByteArray(1, '\0');
    // qCompress puts the length in front of the zlib stream.
    data += qCompress(QByteArray(inflated, fill), 9).mid(4);
    QByteArray chunk = QByteArray(chunkType) + data;
    QByteArray framed;
    framed.append(BigEndian(quint32(data.size()))).append(chunk).append(BigEndian(Crc32(chunk)));
    // After the signature (8 bytes) and the header chunk (25).
    return Encoded(image, "png").insert(33, framed);
}

QByteArray PngEndingInChunk(const QImage& image, const char* type, quint32 declared,
                            qsizetype tail) {
    constexpr qsizetype kAfterHeader = 8 + 25;  // signature, IHDR
    return Encoded(image, "png").left(kAfterHeader) + BigEndian(declared) + type +
           QByteArray(tail, 'x');
}

std::map<std::string, std::string> Exiv2Tags(const QByteArray& file) {
    std::map<std::string, std::string> tags;
    try {
        auto image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(file.constData()), file.size());
        image->readMetadata();
        for (const Exiv2::Exifdatum& datum : image->exifData()) {
            tags[datum.key()] = datum.toString();
        }
        for (const Exiv2::Iptcdatum& datum : image->iptcData()) {
            tags[datum.key()] = datum.toString();
        }
        for (const Exiv2::Xmpdatum& datum : image->xmpData()) {
            tags[datum.key()] = datum.toString();
        }
        if (!image->comment().empty()) {
            tags["Comment"] = image->comment();
        }
    } catch (const std::exception&) {
        tags.clear();
    }
    return tags;
}

std::string TagValue(const std::map<std::string, std::string>& tags, const std::string& key) {
    const auto found = tags.find(key);
    return found == tags.end() ? "(missing)" : found->second;
}

}  // namespace corvane::test
