#pragma once
// What a picture says about itself besides its pixels - EXIF, XMP, IPTC and its comment - read
// once when it is loaded and written into every JPEG, PNG, TIFF, WebP and AVIF made from it.
//
// Rules:
// - Metadata never costs the picture: what cannot be read is left out, what cannot be written
//   leaves the encoded picture as it was, and `problem` says why, for the run's notes.
// - What is kept is already true for any output: the orientation says 1 (the loader turns the
//   pixels upright), there is no thumbnail or preview (it would show the old picture) and none
//   of the source file's structure tags. The pixel size is set per output when it is written.
// - The colour profile is not part of it: it travels with the QImage into the encoders.
// - A value never changes once read, so the bitmaps made from one source share it.
// - Any thread may read or write. Hostile input stays bounded: every Exiv2 exception is caught,
//   Exiv2 only ever sees bytes already in memory (no file, no network), only well-formed tags of
//   valid types are carried, and a rewritten picture that no longer opens at its size is not
//   written. The fuzz target fuzz/metadata_fuzzer.cpp holds these to account.

#include "imaging/output_format.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QMap>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

namespace corvane {

class ImageMetadata;  // opaque: its parts are Exiv2 values, kept out of this header
using MetadataPtr = std::shared_ptr<const ImageMetadata>;

struct MetadataRead {
    MetadataPtr metadata;  // null when the picture holds none, or none could be read
    int orientation = 1;   // the EXIF orientation the source stated (1-8)
    QString problem;       // why some or all of it could not be read; empty when all was
};

// Reads the metadata of an encoded picture. `texts` are the text chunks the decoder found: a
// "Comment" is kept when the metadata holds no comment itself, and a PNG's "Title", "Author",
// "Copyright" and "Software" as XMP where the XMP does not state them.
MetadataRead ReadMetadata(QByteArrayView encoded, const QMap<QString, QString>& texts = {});

// Reads the metadata blocks a container holds apart from its picture (HEIF items, WebP chunks,
// JPEG XL boxes): `exif` a TIFF structure, `xmp` an XMP packet; either may be empty.
MetadataRead ReadMetadataBlocks(QByteArrayView exif, QByteArrayView xmp);

// True for the output formats that can hold metadata: JPEG, PNG, TIFF, WebP and AVIF.
bool HoldsMetadata(FormatKind kind);

struct MetadataWrite {
    bool inserted = false;  // the metadata is in the bytes handed to the device
    bool written = false;   // and the device took every byte
    QString problem;        // why the metadata could not be put in
};

// Writes a JPEG, PNG or TIFF that our encoder made, `size` pixels large, into `device` with
// `metadata` in it; what the encoder wrote itself (the colour profile, the TIFF structure) stays.
// When the metadata cannot be put in, nothing is written and `problem` says why.
MetadataWrite WriteWithMetadata(const QByteArray& encoded, FormatKind kind,
                                const ImageMetadata& metadata, QSize size, QIODevice* device);

// The metadata of one output as the blocks that JPEG and PNG files hold, built for a picture of
// `size` pixels, for the encoders to put into the stream as they write it.
struct MetadataBlocks {
    QByteArray exif;          // the EXIF block: a TIFF structure, no thumbnail
    QByteArray xmp;           // the XMP packet
    QByteArray iptc;          // the IPTC block inside a Photoshop resource block
    QByteArray iptcDatasets;  // the IPTC block alone, as a TIFF holds it
    QByteArray comment;       // the comment's bytes as read
};

// The blocks, or nullopt with `problem` saying why they could not be built.
std::optional<MetadataBlocks> EncodeMetadataBlocks(const ImageMetadata& metadata, QSize size,
                                                   QString* problem);

}  // namespace corvane
