#pragma once
// Putting a picture's metadata blocks into a JPEG or PNG while it is written, so that the file is
// never held in memory for them. Private to the imaging library.

#include "imaging/metadata.h"
#include "png_writer.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <optional>
#include <vector>

namespace corvane {

// Empties the blocks of `blocks` that no JPEG segment can hold (64 kB), so that the others still
// go in; names what was left out, for the run's notes (empty when everything fits).
QString LeaveOutWhatNoJpegSegmentHolds(MetadataBlocks& blocks);

// Empties what a WebP or an AVIF has no place for - the IPTC block and the comment - and names
// it, for the run's notes (empty when the picture had neither).
QString LeaveOutWhatWebpAndAvifCannotHold(MetadataBlocks& blocks);

// The JPEG segments that hold `blocks`: APP1 "Exif", APP1 XMP, APP13 "Photoshop 3.0" and COM, in
// that order; nullopt when a block is larger than one segment can be.
std::optional<QByteArray> JpegMetadataSegments(const MetadataBlocks& blocks);

// The PNG chunks that hold `blocks`, as Exiv2 and exiftool read them: eXIf, iTXt
// "XML:com.adobe.xmp", zTXt "Raw profile type iptc" and iTXt "Description" (the comment).
std::vector<PngChunk> PngMetadataChunks(const MetadataBlocks& blocks);

// A write-only device that hands a JPEG on to `target` with `segments` put in right after its
// start of image and its JFIF segment. Only the first bytes are held back, until the place is
// known; everything after goes straight through.
class JpegSegmentSplicer final : public QIODevice {
public:
    JpegSegmentSplicer(QIODevice* target, QByteArray segments);

    bool isSequential() const override { return true; }
    // Whether the segments went in: false when fewer bytes than a JPEG's start came, or no JPEG.
    bool Spliced() const { return spliced_; }

protected:
    qint64 readData(char* data, qint64 size) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool Pass(QByteArrayView bytes);

    QIODevice* target_;
    QByteArray segments_;
    QByteArray head_;
    bool spliced_ = false;
};

}  // namespace corvane
