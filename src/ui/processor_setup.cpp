#include "ui/processor_setup.h"

#include "imaging/output_format.h"

#include <QUuid>

namespace corvane {

std::unique_ptr<ImageProcessor> CreateImageProcessor() {
    for (const char* mimeType :
         {"image/png", "image/bmp", "image/jpeg", "image/gif", "image/tiff"}) {
        QUuid clsid;
        if (FindEncoder(QString::fromLatin1(mimeType), clsid) < 0) {
            return nullptr;
        }
    }
    return std::make_unique<ImageProcessor>();
}

}  // namespace corvane
