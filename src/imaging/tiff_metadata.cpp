#include "tiff_metadata.h"

#include <QByteArrayView>
#include <QtEndian>

#include <map>
#include <set>
#include <vector>

namespace corvane {
namespace {

// Tags and field types as the TIFF format document and the EXIF standard number them.
constexpr quint16 kXmpTag = 700;
constexpr quint16 kIptcTag = 33723;
constexpr quint16 kExifDirectoryTag = 34665;
constexpr quint16 kGpsDirectoryTag = 34853;
constexpr quint16 kMakerNoteTag = 37500;
constexpr quint16 kInteroperabilityDirectoryTag = 40965;
constexpr quint16 kTypeByte = 1;
constexpr quint16 kTypeLong = 4;
constexpr qint64 kEntrySize = 12;
constexpr qint64 kLargestOffset = 0xFFFFFFFF;
constexpr QByteArrayView kLittleEndianHeader("II*\0", 4);

struct Entry {
    quint16 tag = 0;
    quint16 type = 0;
    quint32 count = 0;
    quint32 value = 0;  // the value itself when it fits in four bytes, else where it is
};

qint64 TypeSize(quint16 type) {
    switch (type) {
        case 1:  // BYTE
        case 2:  // ASCII
        case 6:  // SBYTE
        case 7:  // UNDEFINED
            return 1;
        case 3:  // SHORT
        case 8:  // SSHORT
            return 2;
        case 4:   // LONG
        case 9:   // SLONG
        case 11:  // FLOAT
        case 13:  // IFD
            return 4;
        case 5:   // RATIONAL
        case 10:  // SRATIONAL
        case 12:  // DOUBLE
            return 8;
        default:
            return 0;
    }
}

bool PointsToDirectory(quint16 tag) {
    return tag == kExifDirectoryTag || tag == kGpsDirectoryTag ||
           tag == kInteroperabilityDirectoryTag;
}

bool Fits(const QByteArray& bytes, qint64 at, qint64 size) {
    return at >= 0 && size >= 0 && at + size <= bytes.size();
}

quint16 U16(const QByteArray& bytes, qint64 at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 U32(const QByteArray& bytes, qint64 at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

void PutU32(QByteArray& bytes, qint64 at, quint32 value) {
    qToLittleEndian(value, bytes.data() + at);
}

qint64 EntryAt(quint32 directory, std::size_t index) {
    return qint64(directory) + 2 + qint64(index) * kEntrySize;
}

// The entries of the directory at `offset`, with the offset of the next directory; nullopt when
// it does not lie within `bytes`.
std::optional<std::vector<Entry>> ReadDirectory(const QByteArray& bytes, quint32 offset,
                                                quint32* next = nullptr) {
    if (!Fits(bytes, offset, 2)) {
        return std::nullopt;
    }
    const quint16 count = U16(bytes, offset);
    if (!Fits(bytes, EntryAt(offset, count), 4)) {
        return std::nullopt;
    }
    std::vector<Entry> entries(count);
    for (std::size_t i = 0; i < count; ++i) {
        const qint64 at = EntryAt(offset, i);
        entries[i] = {U16(bytes, at), U16(bytes, at + 2), U32(bytes, at + 4), U32(bytes, at + 8)};
    }
    if (next != nullptr) {
        *next = U32(bytes, EntryAt(offset, count));
    }
    return entries;
}

// Adds `shift` to every offset of the directory at `offset` of `block` and of the directories
// it points to, in place. False on a damaged structure, a loop, or a maker note, whose own
// offsets could not be moved with it.
bool ShiftDirectory(QByteArray& block, quint32 offset, quint32 shift, std::set<quint32>& seen) {
    if (!seen.insert(offset).second) {
        return false;
    }
    const auto entries = ReadDirectory(block, offset);
    if (!entries) {
        return false;
    }
    for (std::size_t i = 0; i < entries->size(); ++i) {
        const Entry& entry = (*entries)[i];
        const qint64 size = TypeSize(entry.type) * entry.count;
        if (entry.tag == kMakerNoteTag || TypeSize(entry.type) == 0) {
            return false;
        }
        if (PointsToDirectory(entry.tag)) {
            if (!ShiftDirectory(block, entry.value, shift, seen)) {
                return false;
            }
        } else if (size <= 4) {
            continue;
        } else if (!Fits(block, entry.value, size)) {
            return false;
        }
        PutU32(block, EntryAt(offset, i) + 8, entry.value + shift);
    }
    return true;
}

// The tail after the file, growing at word boundaries as the TIFF format document asks.
class Tail {
public:
    explicit Tail(qint64 fileSize) : fileSize_(fileSize) {}
    // Where the next piece will start in the file.
    qint64 Next() {
        if ((fileSize_ + bytes_.size()) % 2 != 0) {
            bytes_.append('\0');
        }
        return fileSize_ + bytes_.size();
    }
    void Append(QByteArrayView piece) { bytes_.append(piece); }
    QByteArray Take() { return std::move(bytes_); }

private:
    qint64 fileSize_;
    QByteArray bytes_;
};

// Appends the EXIF block moved to its place in the file and adds its first directory's entries
// to `entries`, where they replace the encoder's (the source's resolution and the like win, as
// they do when Exiv2 rewrites a file).
bool AppendExif(const QByteArray& exif, Tail& tail, std::map<quint16, Entry>& entries) {
    if (!exif.startsWith(kLittleEndianHeader) || !Fits(exif, 4, 4)) {
        return false;
    }
    const qint64 at = tail.Next();
    if (at + exif.size() > kLargestOffset) {
        return false;
    }
    QByteArray block = exif;
    const quint32 first = U32(block, 4);
    std::set<quint32> seen;
    if (!ShiftDirectory(block, first, static_cast<quint32>(at), seen)) {
        return false;
    }
    const auto moved = ReadDirectory(block, first);
    for (const Entry& entry : *moved) {
        entries[entry.tag] = entry;
    }
    tail.Append(block);
    return true;
}

// Appends `bytes` as the value of `tag` with `type`; never fits in an entry itself.
bool AppendValue(const QByteArray& bytes, quint16 tag, quint16 type, Tail& tail,
                 std::map<quint16, Entry>& entries) {
    const qint64 at = tail.Next();
    if (bytes.size() <= 4 || at + bytes.size() > kLargestOffset) {
        return false;
    }
    entries[tag] = {tag, type, static_cast<quint32>(bytes.size() / TypeSize(type)),
                    static_cast<quint32>(at)};
    tail.Append(bytes);
    return true;
}

QByteArray Directory(const std::map<quint16, Entry>& entries, quint32 next) {
    QByteArray directory(2 + qint64(entries.size()) * kEntrySize + 4, '\0');
    qToLittleEndian(static_cast<quint16>(entries.size()), directory.data());
    std::size_t i = 0;
    for (const auto& [tag, entry] : entries) {
        char* at = directory.data() + EntryAt(0, i++);
        qToLittleEndian(entry.tag, at);
        qToLittleEndian(entry.type, at + 2);
        qToLittleEndian(entry.count, at + 4);
        qToLittleEndian(entry.value, at + 8);
    }
    qToLittleEndian(next, directory.data() + directory.size() - 4);
    return directory;
}

}  // namespace

std::optional<QByteArray> AppendTiffMetadata(QByteArray& tiff, const QByteArray& exif,
                                             const QByteArray& xmp, const QByteArray& iptc) {
    if (!tiff.startsWith(kLittleEndianHeader) || !Fits(tiff, 4, 4)) {
        return std::nullopt;
    }
    quint32 next = 0;
    const auto own = ReadDirectory(tiff, U32(tiff, 4), &next);
    if (!own) {
        return std::nullopt;
    }
    std::map<quint16, Entry> entries;
    for (const Entry& entry : *own) {
        entries[entry.tag] = entry;
    }
    Tail tail(tiff.size());
    if (!exif.isEmpty() && !AppendExif(exif, tail, entries)) {
        return std::nullopt;
    }
    if (!xmp.isEmpty() && !AppendValue(xmp, kXmpTag, kTypeByte, tail, entries)) {
        return std::nullopt;
    }
    // IPTC is stored as LONGs by custom: padded to whole ones (readers skip the zeros).
    QByteArray iptcLongs = iptc;
    iptcLongs.append((4 - iptc.size() % 4) % 4, '\0');
    if (!iptc.isEmpty() && !AppendValue(iptcLongs, kIptcTag, kTypeLong, tail, entries)) {
        return std::nullopt;
    }
    const qint64 directory = tail.Next();
    if (entries.size() > 0xFFFF ||
        directory + 6 + qint64(entries.size()) * kEntrySize > kLargestOffset) {
        return std::nullopt;
    }
    tail.Append(Directory(entries, next));
    PutU32(tiff, 4, static_cast<quint32>(directory));
    return tail.Take();
}

}  // namespace corvane
