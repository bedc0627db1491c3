#pragma once
// Private to the metafile reader: rendering a whole EMF or WMF file.

#include "canvas.h"
#include "metafile/metafile.h"
#include "records.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace corvane::metafile {

// Null image, with the reason in `why`, when the file cannot be rendered, its frame exceeds
// maxPixels, or nothing in it could be drawn. A file drawn in part gives what was drawn.
QImage RenderEmf(const QByteArray& bytes, qint64 maxPixels, corvane::MetafileError& why);
QImage RenderWmf(const QByteArray& bytes, qint64 maxPixels, corvane::MetafileError& why);

// Why a file that played to its end gave no picture; `truncatedAt` is the offset of a record that
// did not fit in the file, or -1.
QString NothingDrawn(const Canvas& canvas, qint64 truncatedAt);

// The 18-byte standard WMF header at the start of `r`.
bool IsStandardWmfHeader(LeReader r);

}  // namespace corvane::metafile
