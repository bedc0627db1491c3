#include "metadata_stream.h"

#include <QStringList>
#include <QtEndian>

#include <zlib.h>

namespace corvane {
namespace {

constexpr qsizetype kMaxSegmentLength = 0xFFFF;  // the length field counts itself
// The names that open the segments, their zero bytes included.
constexpr QByteArrayView kExifName("Exif\0\0", 6);
constexpr QByteArrayView kXmpName("http://ns.adobe.com/xap/1.0/\0", 29);
constexpr QByteArrayView kPhotoshopName("Photoshop 3.0\0", 14);

// One segment: marker, big-endian length (its two bytes included), name, data. False when it
// does not fit.
bool AppendSegment(QByteArray& out, uchar marker, QByteArrayView name, const QByteArray& data) {
    const qsizetype length = 2 + name.size() + data.size();
    if (length > kMaxSegmentLength) {
        return false;
    }
    const char head[4] = {'\xFF', static_cast<char>(marker), static_cast<char>(length >> 8),
                          static_cast<char>(length & 0xFF)};
    out.append(head, 4).append(name).append(data);
    return true;
}

// The hex text that ImageMagick introduced and Exiv2 and exiftool read for blocks in PNG text:
// type, length, then the bytes as hex, 36 to a line.
QByteArray RawProfile(const char* type, const QByteArray& data) {
    QByteArray text =
        '\n' + QByteArray(type) + '\n' + QByteArray::number(data.size()).rightJustified(8, ' ');
    const QByteArray hex = data.toHex();
    for (qsizetype at = 0; at < hex.size(); at += 72) {
        text.append('\n').append(hex.mid(at, 72));
    }
    return text.append('\n');
}

// Compressed text chunk data: keyword, compression method 0, zlib stream. Empty when zlib fails.
QByteArray CompressedText(const QByteArray& keyword, const QByteArray& text) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    QByteArray compressed(static_cast<qsizetype>(size), '\0');
    if (compress2(reinterpret_cast<Bytef*>(compressed.data()), &size,
                  reinterpret_cast<const Bytef*>(text.constData()), static_cast<uLong>(text.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        return {};
    }
    compressed.truncate(static_cast<qsizetype>(size));
    return keyword + '\0' + '\0' + compressed;
}

// International text chunk data: keyword, not compressed, no language or translated keyword.
QByteArray InternationalText(const QByteArray& keyword, const QByteArray& text) {
    return keyword + QByteArray(5, '\0') + text;
}

// Where the segments go: after SOI and, when it follows, the JFIF APP0 segment. -1 while more
// bytes are needed, 0 when `head` is no JPEG.
qsizetype SpliceOffset(const QByteArray& head) {
    if (head.size() < 4) {
        return head.size() >= 2 && !head.startsWith("\xFF\xD8") ? 0 : -1;
    }
    if (!head.startsWith("\xFF\xD8")) {
        return 0;
    }
    if (static_cast<uchar>(head[2]) != 0xFF || static_cast<uchar>(head[3]) != 0xE0) {
        return 2;
    }
    if (head.size() < 6) {
        return -1;
    }
    const qsizetype end = 4 + qFromBigEndian<quint16>(head.constData() + 4);
    return head.size() >= end ? end : -1;
}

}  // namespace

QString LeaveOutWhatNoJpegSegmentHolds(MetadataBlocks& blocks) {
    QStringList left;
    const auto leaveOutIfTooLarge = [&](QByteArray& block, QByteArrayView name, const char* what) {
        if (2 + name.size() + block.size() > kMaxSegmentLength) {
            block.clear();
            left << QString::fromLatin1(what);
        }
    };
    leaveOutIfTooLarge(blocks.exif, kExifName, "EXIF");
    leaveOutIfTooLarge(blocks.xmp, kXmpName, "XMP");
    leaveOutIfTooLarge(blocks.iptc, kPhotoshopName, "IPTC");
    leaveOutIfTooLarge(blocks.comment, {}, "comment");
    if (left.isEmpty()) {
        return {};
    }
    return QStringLiteral("metadata too large for a JPEG segment was left out: %1")
        .arg(left.join(QStringLiteral(", ")));
}

QString LeaveOutWhatWebpAndAvifCannotHold(MetadataBlocks& blocks) {
    QStringList left;
    if (!blocks.iptc.isEmpty() || !blocks.iptcDatasets.isEmpty()) {
        left << QStringLiteral("IPTC");
    }
    if (!blocks.comment.isEmpty()) {
        left << QStringLiteral("comment");
    }
    blocks.iptc.clear();
    blocks.iptcDatasets.clear();
    blocks.comment.clear();
    if (left.isEmpty()) {
        return {};
    }
    return QStringLiteral("the format has no place for them, left out: %1")
        .arg(left.join(QStringLiteral(", ")));
}

std::optional<QByteArray> JpegMetadataSegments(const MetadataBlocks& blocks) {
    QByteArray out;
    const bool fits =
        (blocks.exif.isEmpty() || AppendSegment(out, 0xE1, kExifName, blocks.exif)) &&
        (blocks.xmp.isEmpty() || AppendSegment(out, 0xE1, kXmpName, blocks.xmp)) &&
        (blocks.iptc.isEmpty() || AppendSegment(out, 0xED, kPhotoshopName, blocks.iptc)) &&
        (blocks.comment.isEmpty() || AppendSegment(out, 0xFE, {}, blocks.comment));
    if (!fits) {
        return std::nullopt;
    }
    return out;
}

std::vector<PngChunk> PngMetadataChunks(const MetadataBlocks& blocks) {
    std::vector<PngChunk> chunks;
    if (!blocks.exif.isEmpty()) {
        chunks.push_back({"eXIf", blocks.exif});
    }
    if (!blocks.xmp.isEmpty()) {
        chunks.push_back({"iTXt", InternationalText("XML:com.adobe.xmp", blocks.xmp)});
    }
    if (!blocks.iptc.isEmpty()) {
        const QByteArray data =
            CompressedText("Raw profile type iptc", RawProfile("iptc", blocks.iptc));
        if (!data.isEmpty()) {
            chunks.push_back({"zTXt", data});
        }
    }
    if (!blocks.comment.isEmpty()) {
        chunks.push_back({"iTXt", InternationalText("Description", blocks.comment)});
    }
    return chunks;
}

JpegSegmentSplicer::JpegSegmentSplicer(QIODevice* target, QByteArray segments)
    : target_(target), segments_(std::move(segments)) {
    open(QIODevice::WriteOnly);
}

qint64 JpegSegmentSplicer::readData(char*, qint64) {
    return -1;
}

qint64 JpegSegmentSplicer::writeData(const char* data, qint64 size) {
    if (spliced_) {
        return Pass(QByteArrayView(data, size)) ? size : -1;
    }
    head_.append(data, static_cast<qsizetype>(size));
    const qsizetype at = SpliceOffset(head_);
    if (at < 0) {
        return size;
    }
    if (at == 0) {
        return -1;
    }
    spliced_ = true;
    const bool ok = Pass(QByteArrayView(head_).first(at)) && Pass(segments_) &&
                    Pass(QByteArrayView(head_).sliced(at));
    head_.clear();
    return ok ? size : -1;
}

bool JpegSegmentSplicer::Pass(QByteArrayView bytes) {
    return target_->write(bytes.data(), bytes.size()) == bytes.size();
}

}  // namespace corvane
