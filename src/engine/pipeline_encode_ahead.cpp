// Encoding ahead: where a file is saved whole in every format, the helpers encode its outputs into
// memory and drop its pixels, so the processing thread only names and writes them.

#include "engine/pipeline.h"
#include "read_ahead.h"

namespace corvane {

bool Pipeline::EncodesAhead() const {
    // One worker writes as it always did; a format resolved per file is the processing
    // thread's.
    return workers_ > 1 && kind_ == OperationKind::Plain && !settings_.sameAsSource;
}

void Pipeline::EncodeAhead(PreparedFile& prepared) const {
    BitmapPtr& image = prepared.image;
    if (!IsUsable(image.get())) {
        return;  // the processing thread notes why
    }
    if (settings_.stripMetadata) {
        image->SetMetadata(nullptr);
    }
    const WatermarkSettings* watermark = watermark_.on ? &watermark_ : nullptr;
    prepared.encoded.resize(formats_.size());
    bool all = true;
    for (std::size_t i = 0; i < formats_.size(); ++i) {
        EncodedFile encoded;
        // The pool lives from before the helpers start until after they end.
        if (processor_.EncodeImage(image, formats_[i], watermark, &encoded, pool_.get())) {
            prepared.encoded[i] = std::move(encoded);
        } else {
            all = false;  // written from the picture, as with one worker
        }
    }
    if (all) {
        image.reset();  // a file ahead holds only its bytes
    }
}

}  // namespace corvane
