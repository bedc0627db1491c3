#pragma once
// Private to the metafile reader: rendering a whole EMF or WMF file.

#include "metafile_records.h"

#include <QByteArray>
#include <QImage>

namespace corvane::metafile {

// Null image when the file cannot be rendered, its frame exceeds maxPixels, or nothing in it was
// drawn.
QImage RenderEmf(const QByteArray& bytes, qint64 maxPixels);
QImage RenderWmf(const QByteArray& bytes, qint64 maxPixels);

// The 18-byte standard WMF header at the start of `r`.
bool IsStandardWmfHeader(LeReader r);

}  // namespace corvane::metafile
