#pragma once
// Output formats of a run and the decoded format of a source file.

#include <QString>
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
};

struct OutputFormat {
    FormatKind kind = FormatKind::SameAsSource;
    QString extension;   // with its leading dot, e.g. ".PNG"
    QString mimeType;    // empty for the metafile kinds and for an unresolved same-as-source
    QUuid encoderClsid;  // the encoder's well-known class id; null when none was found
};

// What a source file was decoded from, decided from its content.
enum class RawFormat { Undefined, MemoryBmp, Bmp, Emf, Wmf, Jpeg, Png, Gif, Tiff, Exif, Icon };

// The format check boxes of the dialog, as BuildFormatList reads them.
struct FormatChoice {
    bool sameAsSource = false;
    bool all = false;
    bool png = false, bmp = false, jpeg = false, gif = false, tiff = false, emf = false,
         wmf = false;
};

// The run's format list: one unresolved record for same-as-source; else all seven, or the ticked
// ones, always in the order PNG, BMP, JPEG, GIF, TIFF, EMF, WMF. May be empty.
std::vector<OutputFormat> BuildFormatList(const FormatChoice& choice);

// Index of the encoder whose MIME type equals `mimeType` exactly, with its class id copied to
// `clsid`; -1 when there is none (the metafile kinds and empty types have none).
int FindEncoder(const QString& mimeType, QUuid& clsid);

// Fills the same-as-source record for one source file: kind and MIME type from the raw format
// (formats without an encoder become PNG), extension exactly as the source path writes it.
void ResolveSameAsSource(OutputFormat& format, RawFormat raw, const QString& sourcePath);

}  // namespace corvane
