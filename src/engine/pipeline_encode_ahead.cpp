// Encoding ahead: where a file is saved whole in every format, the helpers encode its outputs into
// memory (or, when large, into a spill file on the output's file system) and drop its pixels,
// so the processing thread only names and writes them.

#include "file_preparer.h"

namespace corvane {

bool FilePreparer::EncodesAhead() const {
    // One worker writes as it always did; a format resolved per file is the processing
    // thread's.
    return run_.workers > 1 && run_.kind == OperationKind::Plain && !run_.settings.sameAsSource;
}

EncodedFile FilePreparer::OutputFor(std::uint64_t pictureBytes) const {
    EncodedFile encoded;
    if (pictureBytes >= kSpillFrom && !run_.spillFolder.isEmpty()) {
        encoded.spill = SpillFile::Create(run_.spillFolder);
    }
    return encoded;
}

void FilePreparer::EncodeAhead(PreparedFile& prepared) const {
    BitmapPtr& image = prepared.image;
    if (!IsUsable(image.get())) {
        return;  // the processing thread notes why
    }
    if (run_.settings.stripMetadata) {
        image->SetMetadata(nullptr);
    }
    const std::vector<OutputFormat>& formats = run_.Formats();
    prepared.encoded.resize(formats.size());
    bool all = true;
    const auto pictureBytes = static_cast<std::uint64_t>(image->Image().sizeInBytes());
    for (std::size_t i = 0; i < formats.size(); ++i) {
        EncodedFile encoded = OutputFor(pictureBytes);
        bool made = false;
        try {
            made = run_.processor.EncodeImage(image, formats[i], run_.Watermark(), &encoded, pool_);
        } catch (...) {
            // Memory ran out (or the encoder failed otherwise): left to the processing thread,
            // which writes it from the picture and notes its failure as with one worker.
        }
        if (made) {
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
