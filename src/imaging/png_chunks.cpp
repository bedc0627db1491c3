#include "imaging/png_chunks.h"

#include <QtEndian>

namespace corvane {

bool PngChunksFit(QByteArrayView bytes) {
    static constexpr QByteArrayView kSignature("\x89PNG\r\n\x1a\n", 8);
    if (!bytes.startsWith(kSignature)) {
        return true;
    }
    // Each chunk: length (4, big-endian), type (4), data (length), checksum (4).
    qsizetype at = kSignature.size();
    while (bytes.size() - at >= 8) {
        const qint64 length = qFromBigEndian<quint32>(bytes.data() + at);
        const QByteArrayView type = bytes.sliced(at + 4, 4);
        if (type == "IEND") {
            return true;
        }
        const qint64 left = bytes.size() - at - 12;
        if (length > left) {
            return type == "IDAT";
        }
        at += 12 + length;
    }
    return true;
}

}  // namespace corvane
