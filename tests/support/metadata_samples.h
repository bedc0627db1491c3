#pragma once
// Pictures with metadata for the tests and the fuzz corpus: full EXIF, XMP, IPTC and comment
// blocks written through Exiv2 into pictures Qt encoded, and damaged or hostile EXIF blocks built
// byte by byte. Reading back through Exiv2 too, as a reader independent of the code under test.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <map>
#include <string>
#include <vector>

namespace corvane::test {

// One tag every sample carries, with the value each reader gives back for it (exiftool with
// -n -G1; empty when the other reader has no such tag).
struct SampleTag {
    const char* exiv2Key;
    const char* exiftoolKey;
    const char* exiv2Value;
    const char* exiftoolValue;
};
const std::vector<SampleTag>& SampleTags();

// The comment every JPEG and PNG sample carries (TIFF has none).
inline constexpr const char* kSampleComment = "A quiet morning by the water";

// `image` encoded by Qt as `qtFormat` ("jpeg", "png", "tiff"), then given through Exiv2 the
// sample tags, the EXIF and XMP orientation `orientation`, the pixel size `statedSize` in EXIF
// and XMP, a JPEG thumbnail, and (JPEG, PNG) the sample comment. Empty when Exiv2 failed.
QByteArray SampleWithMetadata(const QImage& image, const char* qtFormat, int orientation,
                              QSize statedSize);
// `image` encoded as `qtFormat` with the sample tags and an XMP description `length` characters
// long (a packet too large for a JPEG segment, when long enough).
QByteArray SampleWithLongDescription(const QImage& image, const char* qtFormat, int length);

// A JPEG with an APP1 segment of `payload` (at most 65533 bytes) right after its start marker.
QByteArray WithApp1(QByteArray jpeg, const QByteArray& payload);
// EXIF payloads ("Exif\0\0" and a TIFF structure) that are damaged or hostile.
QByteArray ExifNotTiff();           // the header is not a TIFF header
QByteArray ExifLoopingIfds();       // IFD0's next IFD and its Exif pointer both lead back to it
QByteArray ExifHugeEntryCount();    // an IFD that claims 65535 entries in a few bytes
QByteArray ExifHugeValue();         // a tag whose value claims 2^31 bytes
QByteArray ExifDeepPointerChain();  // Exif, GPS and interoperability pointers into each other
QByteArray ExifStrayStorageTags();  // storage tags of no type, no count: a TIFF cannot hold them
// An XMP payload for APP1 with `packet` as its XML.
QByteArray XmpPayload(const QByteArray& packet);
// An XMP packet that defines an entity expanding to gigabytes.
QByteArray XmpEntityBomb();
// The checksum of a PNG chunk, over its type and data.
quint32 Crc32(const QByteArray& bytes);
// A PNG whose first chunk after the header is a compressed text chunk (`chunkType` "zTXt" or
// "iTXt") under `keyword`, `inflated` bytes of `fill` squeezed into a few kilobytes.
QByteArray PngWithTextBomb(const QImage& image, const char* chunkType, const char* keyword,
                           char fill, int inflated);
// `image` as a PNG cut off `tail` bytes into a chunk of `type` inserted after its header, whose
// length says `declared` bytes: the file ends inside it.
QByteArray PngEndingInChunk(const QImage& image, const char* type, quint32 declared,
                            qsizetype tail);

// Every EXIF, IPTC and XMP tag Exiv2 reads from a file, key to value, and "Comment" for the
// comment; empty when Exiv2 cannot open it.
std::map<std::string, std::string> Exiv2Tags(const QByteArray& file);
// The value of `key` among `tags`, "(missing)" when there is none.
std::string TagValue(const std::map<std::string, std::string>& tags, const std::string& key);

}  // namespace corvane::test
