#pragma once
// Qt's PNG reader (libpng) allocates and clears the length a chunk declares before it reads the
// chunk, so a few bytes that declare 2 GiB cost 2 GiB. A file whose chunks run past its end
// cannot be read anyway; this check turns it away before the reader sees it.

#include <QByteArrayView>

namespace corvane {

// False when `bytes` are a PNG with a chunk before the image end (IEND) that declares more bytes
// than follow it, the image data (IDAT, read in pieces) excepted; true for anything else.
bool PngChunksFit(QByteArrayView bytes);

}  // namespace corvane
