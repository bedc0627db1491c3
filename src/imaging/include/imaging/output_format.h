#pragma once
// Output formats of a run and the decoded format of a source file.

#include <QString>
#include <QStringList>
#include <QUuid>

#include <vector>

namespace corvane {

enum class FormatKind : int {
    SameAsSource = 0,  // resolved per source file
    Png = 1,
    Bmp = 2,
    Jpeg = 3,
    Gif = 4,
    Tiff = 5,
    Emf = 6,
    Wmf = 7,
    // Written by corvane-batch only: the dialog has no box for them.
    Webp = 8,
    Avif = 9,
};

struct OutputFormat {
    FormatKind kind = FormatKind::SameAsSource;
    QString extension;      // with its leading dot, e.g. ".PNG"
    QString mimeType;       // empty for the metafile kinds and for an unresolved same-as-source
    QUuid encoderClsid;     // the encoder's well-known class id; null when none was found
    bool lossless = false;  // WebP only: lossless instead of lossy (a lossless WebP source)
};

// What a source file was decoded from, decided from its content.
enum class RawFormat {
    Undefined,
    MemoryBmp,
    Bmp,
    Emf,
    Wmf,
    Jpeg,
    Png,
    Gif,
    Tiff,
    Exif,
    Icon,
    Heif,  // HEIC and other HEIF but AVIF
    Avif,
    Webp,  // lossy, or an animation
    WebpLossless,
    Jxl,
};

// The format check boxes of the dialog, as BuildFormatList reads them.
struct FormatChoice {
    bool sameAsSource = false;
    bool all = false;
    bool png = false, bmp = false, jpeg = false, gif = false, tiff = false, emf = false,
         wmf = false;
    bool webp = false, avif = false;  // corvane-batch only; "all" does not include them
};

// The run's format list: one unresolved record for same-as-source; else all seven, or the ticked
// ones, always in the order PNG, BMP, JPEG, GIF, TIFF, EMF, WMF, then WebP and AVIF. May be
// empty.
std::vector<OutputFormat> BuildFormatList(const FormatChoice& choice);

// Index of the encoder whose MIME type equals `mimeType` exactly, with its class id copied to
// `clsid`; -1 when there is none (the metafile kinds and empty types have none).
int FindEncoder(const QString& mimeType, QUuid& clsid);

// Fills the same-as-source record for one source file: kind and MIME type from the raw format
// (formats without an encoder become PNG), extension exactly as the source path writes it.
// Today's formats: a WebP stays WebP (lossless when it was) and an AVIF AVIF, under their own
// extension; HEIC/HEIF and JPEG XL, which are not written, become JPEG and PNG under ".JPG" and
// ".PNG", so that no file says a format its bytes are not.
void ResolveSameAsSource(OutputFormat& format, RawFormat raw, const QString& sourcePath);

// The extensions (without dot, upper case) of the files that pictures are usually read from,
// for the places that list pictures by name: BMP, PNG, GIF, TIFF, JPEG, then today's formats.
QStringList ReadablePictureExtensions();

}  // namespace corvane
