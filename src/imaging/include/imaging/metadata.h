#pragma once
// What a picture says about itself besides its pixels - EXIF, XMP, IPTC and its comment - read
// once when it is loaded and written into every JPEG, PNG and TIFF made from it.
//
// Rules:
// - Metadata never costs the picture: what cannot be read is left out, what cannot be written
//   leaves the encoded picture as it was, and `problem` says why, for the run's notes.
// - What is kept is already true for any output: the orientation says 1 (the loader turns the
//   pixels upright), there is no thumbnail or preview (it would show the old picture) and none
//   of the source file's structure tags. The pixel size is set per output when it is written.
// - The colour profile is not part of it: it travels with the QImage into the encoders.
// - A value never changes once read, so the bitmaps made from one source share it.
// - Any thread may read or write; hostile input stays bounded in time and memory (every Exiv2
//   exception is caught, sizes are checked before Exiv2 sees the bytes).

#include "imaging/output_format.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>
#include <QString>

#include <memory>

namespace corvane {

class ImageMetadata;  // opaque: its parts are Exiv2 values, kept out of this header
using MetadataPtr = std::shared_ptr<const ImageMetadata>;

struct MetadataRead {
    MetadataPtr metadata;  // null when the picture holds none, or none could be read
    int orientation = 1;   // the EXIF orientation the source stated (1-8)
    QString problem;       // why some or all of it could not be read; empty when all was
};

// Reads the metadata of an encoded picture. `textComment` is a comment the decoder found among
// the picture's text chunks (a PNG "Comment"), kept when the metadata holds no comment itself.
MetadataRead ReadMetadata(QByteArrayView encoded, const QString& textComment = {});

// True for the output formats that can hold metadata: JPEG, PNG and TIFF.
bool HoldsMetadata(FormatKind kind);

struct MetadataWrite {
    QByteArray bytes;  // the encoded picture with the metadata in it; empty on failure
    QString problem;   // why it could not be written
};

// Inserts `metadata` into a JPEG, PNG or TIFF that our encoder wrote, `size` pixels large. What
// the encoder wrote itself (the colour profile, the TIFF structure) stays as it was.
MetadataWrite InsertMetadata(const QByteArray& encoded, FormatKind kind,
                             const ImageMetadata& metadata, QSize size);

}  // namespace corvane
