// PLACEHOLDER: replaced by the real implementation before commit.
#include "imaging/metafile.h"

namespace corvane {

RawFormat SniffMetafile(const QByteArray&) { return RawFormat::Undefined; }
QImage ReadMetafile(const QByteArray&, qint64) { return {}; }

}  // namespace corvane
