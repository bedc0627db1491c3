#pragma once
// Putting metadata into a TIFF our encoder wrote without rewriting it: a new first directory that
// holds the encoder's tags and the metadata's is appended after the unchanged file, with the
// EXIF, XMP and IPTC blocks it points to, and the header is pointed at it. The encoder's own
// directory stays behind as a few unused bytes. Private to the imaging library.

#include <QByteArray>

#include <optional>

namespace corvane {

// What to append to `tiff` (a little-endian TIFF, as our encoder writes) so that it holds
// `exif` (an EXIF block as Exiv2 encodes it: a little-endian TIFF structure), the XMP packet
// `xmp` and the IPTC datasets `iptc`; `tiff`'s header is changed to point at the new directory.
// Nullopt, with `tiff` untouched, when that cannot be done this way: another byte order, a maker
// note (its offsets would not survive the move), a damaged structure, a file beyond 4 GiB.
std::optional<QByteArray> AppendTiffMetadata(QByteArray& tiff, const QByteArray& exif,
                                             const QByteArray& xmp, const QByteArray& iptc);

}  // namespace corvane
