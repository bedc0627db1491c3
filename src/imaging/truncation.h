#pragma once
// Whether a file ends before its picture does. The JPEG, GIF and BMP decoders give a picture for
// a file cut short (the rest grey, transparent or black) and call it a success; the loader keeps
// that picture, as a person would want the part that survived, but says that it is incomplete.
// Told from the file's structure alone, so every decoder path (Qt's reader, the row-by-row and
// the turned JPEG) says the same. Private to the imaging library.

#include "imaging/output_format.h"

#include <QByteArrayView>
#include <QString>

namespace corvane {

// Why the picture in `bytes` (a file decoded as `format`) is incomplete; empty when the file
// holds all of it, or for formats whose decoder refuses a file cut short.
QString TruncationOf(QByteArrayView bytes, RawFormat format);

}  // namespace corvane
