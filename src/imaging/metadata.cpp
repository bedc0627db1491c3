// Reading and writing EXIF, XMP, IPTC and comments with Exiv2. Every call into Exiv2 is in this
// file; each runs inside a catch-all, so that a library exception never reaches a caller.

#include "imaging/metadata.h"

#include <QBuffer>
#include <QImageReader>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class ImageMetadata {
public:
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;
    std::string comment;

    bool Empty() const { return exif.empty() && iptc.empty() && xmp.empty() && comment.empty(); }
};

namespace {

// Exiv2 reports damage it works around (a bad offset, an entry that leaves the data) through its
// log, not by throwing. The handler is process-wide, so each call collects the errors of its own
// thread.
thread_local std::vector<std::string>* tErrors = nullptr;

void CollectError(int level, const char* message) {
    if (level >= Exiv2::LogMsg::error && tErrors != nullptr && tErrors->size() < 8) {
        std::string text(message);
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
            text.pop_back();
        }
        tErrors->push_back(std::move(text));
    }
}

// The XMP toolkit keeps global state; Exiv2 serialises it through this lock.
std::mutex gXmpMutex;

void LockXmp(void* data, bool lock) {
    auto* mutex = static_cast<std::mutex*>(data);
    if (lock) {
        mutex->lock();
    } else {
        mutex->unlock();
    }
}

// Collects the Exiv2 errors logged on this thread while it lives.
class ErrorScope {
public:
    ErrorScope() {
        static std::once_flag once;
        std::call_once(once, [] {
            Exiv2::LogMsg::setLevel(Exiv2::LogMsg::error);
            Exiv2::LogMsg::setHandler(&CollectError);
            Exiv2::XmpParser::initialize(&LockXmp, &gXmpMutex);
        });
        tErrors = &errors_;
    }
    ~ErrorScope() { tErrors = nullptr; }
    ErrorScope(const ErrorScope&) = delete;
    ErrorScope& operator=(const ErrorScope&) = delete;

    void Add(std::string text) { errors_.push_back(std::move(text)); }

    QString First() const {
        return errors_.empty() ? QString() : QString::fromStdString(errors_.front());
    }

private:
    std::vector<std::string> errors_;
};

// The tags of the main picture's directory that describe the picture rather than how the source
// file stores it. Only these are carried: the encoder writes its own storage tags, the source's
// would describe bytes that are not there, and in a TIFF a stray one can make the file unreadable.
constexpr std::string_view kDescriptiveTags[] = {
    "Exif.Image.ImageDescription", "Exif.Image.Make",         "Exif.Image.Model",
    "Exif.Image.Orientation",      "Exif.Image.XResolution",  "Exif.Image.YResolution",
    "Exif.Image.ResolutionUnit",   "Exif.Image.Software",     "Exif.Image.DateTime",
    "Exif.Image.Artist",           "Exif.Image.HostComputer", "Exif.Image.Copyright",
    "Exif.Image.DocumentName",     "Exif.Image.PageName",     "Exif.Image.Rating",
    "Exif.Image.RatingPercent",    "Exif.Image.XPTitle",      "Exif.Image.XPComment",
    "Exif.Image.XPAuthor",         "Exif.Image.XPKeywords",   "Exif.Image.XPSubject",
    "Exif.Image.DateTimeOriginal", "Exif.Image.ExifTag",      "Exif.Image.GPSTag",
};

// Directories that hold other pictures than the main one: the thumbnail, raw previews.
bool IsOtherPicture(const std::string& group) {
    const auto startsWith = [&](std::string_view prefix) {
        return group.compare(0, prefix.size(), prefix) == 0;
    };
    return group == "Thumbnail" || startsWith("SubImage") || startsWith("SubThumb") ||
           group == "Image2" || group == "Image3";
}

// A tag worth carrying: a valid TIFF type with a value, describing the main picture.
bool IsCarried(const Exiv2::Exifdatum& datum) {
    const Exiv2::TypeId type = datum.typeId();
    if (datum.count() == 0 || type < Exiv2::unsignedByte || type > Exiv2::tiffIfd) {
        return false;
    }
    const std::string group = datum.groupName();
    if (group == "Image") {
        return std::find(std::begin(kDescriptiveTags), std::end(kDescriptiveTags), datum.key()) !=
               std::end(kDescriptiveTags);
    }
    return !IsOtherPicture(group);
}

int OrientationOf(const Exiv2::ExifData& exif, const Exiv2::XmpData& xmp) {
    long value = 1;
    const auto stated = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (stated != exif.end() && stated->count() > 0) {
        value = stated->toLong();
    } else {
        const auto xmpStated = xmp.findKey(Exiv2::XmpKey("Xmp.tiff.Orientation"));
        if (xmpStated != xmp.end() && xmpStated->count() > 0) {
            value = xmpStated->toLong();
        }
    }
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
}

template <typename Data, typename Key>
void SetIfPresent(Data& data, const char* name, const std::string& value) {
    const auto found = data.findKey(Key(name));
    if (found != data.end()) {
        found->setValue(value);
    }
}

// What holds for every output: upright, no other picture, no source structure, nothing
// malformed.
void MakeTrueForAnyOutput(ImageMetadata& metadata) {
    Exiv2::ExifData& exif = metadata.exif;
    for (auto it = exif.begin(); it != exif.end();) {
        if (!IsCarried(*it)) {
            it = exif.erase(it);
        } else {
            ++it;
        }
    }
    SetIfPresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Image.Orientation", "1");
    Exiv2::XmpData& xmp = metadata.xmp;
    for (auto it = xmp.begin(); it != xmp.end();) {
        if (it->key().rfind("Xmp.xmp.Thumbnails", 0) == 0) {
            it = xmp.erase(it);
        } else {
            ++it;
        }
    }
    SetIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.tiff.Orientation", "1");
}

// The pixel size, where the source stated one.
void SetPixelSize(Exiv2::ExifData& exif, Exiv2::XmpData& xmp, QSize size) {
    const std::string width = std::to_string(size.width());
    const std::string height = std::to_string(size.height());
    SetIfPresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Photo.PixelXDimension", width);
    SetIfPresent<Exiv2::ExifData, Exiv2::ExifKey>(exif, "Exif.Photo.PixelYDimension", height);
    SetIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.exif.PixelXDimension", width);
    SetIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.exif.PixelYDimension", height);
    SetIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.tiff.ImageWidth", width);
    SetIfPresent<Exiv2::XmpData, Exiv2::XmpKey>(xmp, "Xmp.tiff.ImageLength", height);
}

// The source's tags, and those of the encoder's own (the TIFF structure) that the source's do
// not replace.
Exiv2::ExifData MergedExif(const Exiv2::ExifData& source, const Exiv2::ExifData& encoder) {
    Exiv2::ExifData merged = source;
    for (const Exiv2::Exifdatum& datum : encoder) {
        if (merged.findKey(Exiv2::ExifKey(datum.key())) == merged.end()) {
            merged.add(datum);
        }
    }
    return merged;
}

const Exiv2::byte* BytesOf(QByteArrayView view) {
    return reinterpret_cast<const Exiv2::byte*>(view.data());
}

// Whether `bytes` still open as a picture of `size`: Exiv2 rewrites a TIFF's directories, and a
// tag it carried over must not cost the picture.
bool OpensAtSize(const QByteArray& bytes, QSize size) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.size() == size;
}

// Exiv2 counts bytes in a long, 32 bits on Windows.
bool FitsExiv2(qsizetype size) {
    return size <= std::numeric_limits<long>::max();
}

// A PNG's standard text keywords, and the XMP property that says the same. The encoders write no
// text of their own, so these reach the outputs - of every format - only as XMP. ("Description"
// is not among them: Exiv2 reads it as the picture's comment.)
struct TextProperty {
    const char* keyword;
    const char* xmpKey;
    Exiv2::TypeId type;
};
constexpr TextProperty kPngTexts[] = {
    {"Title", "Xmp.dc.title", Exiv2::langAlt},
    {"Author", "Xmp.dc.creator", Exiv2::xmpSeq},
    {"Copyright", "Xmp.dc.rights", Exiv2::langAlt},
    {"Software", "Xmp.xmp.CreatorTool", Exiv2::xmpText},
};

// Text XML can hold: no control characters but tab and line breaks.
bool IsPlainText(const QString& text) {
    return std::none_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
    });
}

// The values are built, not parsed: a text that reads like Exiv2's own notation ("lang=...")
// stays text.
void AddXmpText(Exiv2::XmpData& xmp, const TextProperty& property, const std::string& text) {
    const Exiv2::XmpKey key(property.xmpKey);
    if (property.type == Exiv2::langAlt) {
        Exiv2::LangAltValue value;
        value.value_["x-default"] = text;
        xmp.add(key, &value);
    } else if (property.type == Exiv2::xmpSeq) {
        Exiv2::XmpArrayValue value(Exiv2::xmpSeq);
        value.read(text);
        xmp.add(key, &value);
    } else {
        Exiv2::XmpTextValue value;
        value.value_ = text;
        xmp.add(key, &value);
    }
}

// The PNG's text chunks that the XMP does not state already.
void KeepPngTexts(Exiv2::XmpData& xmp, const QMap<QString, QString>& texts) {
    for (const TextProperty& property : kPngTexts) {
        const QString text = texts.value(QLatin1String(property.keyword));
        if (!text.isEmpty() && IsPlainText(text) &&
            xmp.findKey(Exiv2::XmpKey(property.xmpKey)) == xmp.end()) {
            AddXmpText(xmp, property, text.toStdString());
        }
    }
}

QString Reason(const char* what, const std::exception& error) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromUtf8(error.what()));
}

QByteArray BytesOf(const Exiv2::byte* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Runs `fill` on fresh metadata with Exiv2's errors collected: what it read, made true for any
// output, or nothing when it threw; then `complete`, which cannot throw, whatever happened.
template <typename Fill, typename Complete>
MetadataRead ReadWith(const Fill& fill, const Complete& complete) {
    MetadataRead result;
    ErrorScope errors;
    auto metadata = std::make_shared<ImageMetadata>();
    try {
        fill(*metadata, errors);
        result.orientation = OrientationOf(metadata->exif, metadata->xmp);
        MakeTrueForAnyOutput(*metadata);
        result.problem = errors.First();
    } catch (const std::exception& error) {
        // Whatever was read before the failure may be inconsistent: none of it is kept.
        *metadata = {};
        result.problem = Reason("metadata could not be read", error);
    } catch (...) {
        *metadata = {};
        result.problem = QStringLiteral("metadata could not be read");
    }
    complete(*metadata);
    if (!metadata->Empty()) {
        result.metadata = std::move(metadata);
    }
    return result;
}

}  // namespace

MetadataRead ReadMetadata(QByteArrayView encoded, const QMap<QString, QString>& texts) {
    if (!FitsExiv2(encoded.size())) {
        MetadataRead result;
        result.problem = QStringLiteral("the file is too large for its metadata to be read");
        return result;
    }
    MetadataRead result = ReadWith(
        [&](ImageMetadata& metadata, ErrorScope&) {
            const long size = static_cast<long>(encoded.size());
            if (Exiv2::ImageFactory::getType(BytesOf(encoded), size) == Exiv2::ImageType::none) {
                return;
            }
            auto image = Exiv2::ImageFactory::open(BytesOf(encoded), size);
            image->readMetadata();
            metadata.exif = image->exifData();
            metadata.iptc = image->iptcData();
            metadata.xmp = image->xmpData();
            metadata.comment = image->comment();
            if (image->imageType() == Exiv2::ImageType::png) {
                KeepPngTexts(metadata.xmp, texts);
            }
        },
        [&](ImageMetadata& metadata) {
            if (metadata.comment.empty()) {
                metadata.comment = texts.value(QStringLiteral("Comment")).toStdString();
            }
        });
    return result;
}

MetadataRead ReadMetadataBlocks(QByteArrayView exif, QByteArrayView xmp) {
    if (!FitsExiv2(exif.size()) || !FitsExiv2(xmp.size())) {
        MetadataRead result;
        result.problem = QStringLiteral("the metadata is too large to be read");
        return result;
    }
    MetadataRead result = ReadWith(
        [&](ImageMetadata& metadata, ErrorScope& errors) {
            if (!exif.isEmpty()) {
                Exiv2::ExifParser::decode(metadata.exif, BytesOf(exif),
                                          static_cast<long>(exif.size()));
            }
            while (!xmp.isEmpty() && xmp.back() == '\0') {
                xmp.chop(1);
            }
            if (!xmp.isEmpty() &&
                Exiv2::XmpParser::decode(metadata.xmp,
                                         std::string(xmp.data(), size_t(xmp.size()))) != 0) {
                metadata.xmp.clear();
                errors.Add("the XMP packet could not be read");
            }
        },
        [](ImageMetadata&) {});
    return result;
}

bool HoldsMetadata(FormatKind kind) {
    return kind == FormatKind::Jpeg || kind == FormatKind::Png || kind == FormatKind::Tiff ||
           kind == FormatKind::Webp || kind == FormatKind::Avif;
}

MetadataWrite WriteWithMetadata(const QByteArray& encoded, FormatKind kind,
                                const ImageMetadata& metadata, QSize size, QIODevice* device) {
    if (!HoldsMetadata(kind)) {
        return {false, false, QStringLiteral("the format holds no metadata")};
    }
    if (!FitsExiv2(encoded.size())) {
        return {false, false, QStringLiteral("the picture is too large to hold metadata")};
    }
    ErrorScope errors;
    try {
        auto image = Exiv2::ImageFactory::open(BytesOf(encoded), static_cast<long>(encoded.size()));
        // What the encoder wrote (the colour profile, the TIFF structure) is kept.
        image->readMetadata();
        Exiv2::ExifData exif = MergedExif(metadata.exif, image->exifData());
        Exiv2::XmpData xmp = metadata.xmp;
        SetPixelSize(exif, xmp, size);
        image->setExifData(exif);
        image->setXmpData(xmp);
        image->setIptcData(metadata.iptc);
        // TIFF has no comment of its own.
        if (kind != FormatKind::Tiff) {
            image->setComment(metadata.comment);
        }
        image->writeMetadata();
        if (const QString error = errors.First(); !error.isEmpty()) {
            return {false, false, QStringLiteral("metadata could not be written: %1").arg(error)};
        }
        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0) {
            return {false, false, QStringLiteral("metadata could not be written")};
        }
        // Written straight from Exiv2's buffer: a copy of a large TIFF costs as much as the
        // rewrite itself.
        const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(io.mmap()),
                                                         static_cast<qsizetype>(io.size()));
        if (!OpensAtSize(bytes, size)) {
            return {false, false,
                    QStringLiteral("metadata could not be written: the picture would not read "
                                   "back")};
        }
        return {true, device->write(bytes) == bytes.size(), {}};
    } catch (const std::exception& error) {
        return {false, false, Reason("metadata could not be written", error)};
    } catch (...) {
        return {false, false, QStringLiteral("metadata could not be written")};
    }
}

std::optional<MetadataBlocks> EncodeMetadataBlocks(const ImageMetadata& metadata, QSize size,
                                                   QString* problem) {
    ErrorScope errors;
    try {
        Exiv2::ExifData exif = metadata.exif;
        Exiv2::XmpData xmp = metadata.xmp;
        SetPixelSize(exif, xmp, size);
        MetadataBlocks blocks;
        if (!exif.empty()) {
            // Little-endian, as Exiv2 writes a file that had no EXIF of its own.
            Exiv2::Blob blob;
            Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
            blocks.exif = BytesOf(blob.data(), blob.size());
        }
        std::string packet;
        if (!xmp.empty() &&
            Exiv2::XmpParser::encode(
                packet, xmp,
                Exiv2::XmpParser::useCompactFormat | Exiv2::XmpParser::omitAllFormatting) != 0) {
            errors.Add("the XMP packet could not be built");
        }
        blocks.xmp = QByteArray::fromStdString(packet);
        if (!metadata.iptc.empty()) {
            const Exiv2::DataBuf irb = Exiv2::Photoshop::setIptcIrb(nullptr, 0, metadata.iptc);
            blocks.iptc = BytesOf(irb.pData_, static_cast<std::size_t>(irb.size_));
            const Exiv2::DataBuf datasets = Exiv2::IptcParser::encode(metadata.iptc);
            blocks.iptcDatasets =
                BytesOf(datasets.pData_, static_cast<std::size_t>(datasets.size_));
        }
        blocks.comment = QByteArray::fromStdString(metadata.comment);
        if (const QString error = errors.First(); !error.isEmpty()) {
            *problem = QStringLiteral("metadata could not be written: %1").arg(error);
            return std::nullopt;
        }
        return blocks;
    } catch (const std::exception& error) {
        *problem = Reason("metadata could not be written", error);
    } catch (...) {
        *problem = QStringLiteral("metadata could not be written");
    }
    return std::nullopt;
}

}  // namespace corvane
