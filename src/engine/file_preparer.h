#pragma once
// What the read-ahead helpers make of a file before its turn, and everything they read to make
// it. Private to the engine.
//
// Threads: a RunSnapshot is made once, when a run's processing starts, and never changes
// afterwards; the helpers and the processing thread read it at once without a lock. The
// processing thread's own state - the formats it resolves per file for "same as source", the
// current picture, the mosaic - lives in the Pipeline, which a FilePreparer cannot reach.

#include "engine/batch_settings.h"
#include "imaging/image_processor.h"
#include "read_ahead.h"

#include <QSize>

#include <cstdint>

namespace corvane {

class WorkPool;

// Encoded outputs of pictures from this many bytes on wait in a spill file: below it, a file
// costs more than the memory it saves.
inline constexpr std::uint64_t kSpillFrom = 4 * 1024 * 1024;

struct RunSnapshot {
    RunSnapshot(const ImageProcessor& imageProcessor, const BatchSettings& batchSettings,
                const WatermarkSettings& runWatermark, int workerCount,
                std::uint64_t mostUsableBytes);
    RunSnapshot(const RunSnapshot&) = delete;
    RunSnapshot& operator=(const RunSnapshot&) = delete;

    // The formats as chosen: "same as source" unresolved.
    const std::vector<OutputFormat>& Formats() const { return settings.formats; }
    // The watermark SaveImage draws, or none.
    const WatermarkSettings* Watermark() const { return watermark.on ? &watermark : nullptr; }

    const ImageProcessor& processor;  // stateless
    const BatchSettings settings;
    const OperationKind kind;           // what the run does: a run with nothing to write copies
    const WatermarkSettings watermark;  // its picture shares the pixels of the run's, read only
    const int workers;
    // A file whose processing would take more is refused as too large before it is decoded.
    const std::uint64_t mostUsable;
    // Where the encoded bytes of large outputs wait for their turn (spill_file.h): the output
    // folder, when its file system takes unnamed files; empty to keep them in memory.
    const QString spillFolder;
};

class FilePreparer {
public:
    // `pool` (may be null) and `budget` live from before the helpers start until after they end.
    FilePreparer(const RunSnapshot& run, WorkPool* pool, MemoryBudget& budget)
        : run_(run), pool_(pool), budget_(budget) {}

    // Loads a file (or streams it from JPEG to PNG), turns and resizes it at the least size the
    // run needs, and with several workers encodes its outputs where the picture is saved whole.
    // What its processing takes is claimed through `claim` before it is decoded.
    PreparedFile Prepare(const QString& file, const ClaimMemory& claim) const;

private:
    // The plan of a file from the size it declares: its least size, or why it is refused; the
    // memory its processing needs is claimed into `memory`.
    // `streamed`: the file is to be made into a PNG a band of rows at a time.
    ImageProcessor::DecodePlan PlanFile(const ImageProcessor::Declared& declared, bool streamed,
                                        QSize* planned, const ClaimMemory& claim,
                                        MemoryBudget::Hold* memory) const;
    // The most memory processing a picture of `declared` size takes at once, by the run's turn,
    // resize and formats; the decode at the size of `least` when that is valid.
    std::uint64_t BytesToProcess(const ImageProcessor::Declared& declared, QSize least,
                                 bool streamed) const;
    // Counts what a prepared file holds, instead of what its processing was expected to take.
    void CountHeld(PreparedFile& prepared) const;
    // The size the run's resize gives a picture of `size`; invalid when it gives none.
    QSize ResizedSize(QSize size) const;
    // The least size a file is needed at, from the size it declares: what the run's quarter turn
    // and resize make of it. Invalid when the whole picture is needed. `planned` receives the
    // size the resize gives the whole picture.
    QSize LeastSizeFor(QSize declared, QSize* planned) const;
    void Resize(BitmapPtr& image, QSize plannedSize, bool shrunkOnLoad) const;
    // True when every file is only made a PNG, perhaps resized: a JPEG then goes from decoder to
    // encoder a band of rows at a time, never held whole, where it needs no resize or one that
    // the decoder makes while decoding.
    bool StreamsJpegToPng() const;
    // Makes `prepared` that way; false when the file is not such a JPEG.
    bool StreamJpeg(const QString& file, const ImageProcessor::PlanFor& plan,
                    PreparedFile& prepared) const;
    // True when helpers encode a file's outputs: each is the whole picture in one format, the
    // same whatever the names and clashes turn out to be.
    bool EncodesAhead() const;
    // Encodes every output of a prepared picture; drops the picture when all were encoded.
    void EncodeAhead(PreparedFile& prepared) const;
    // An encoded output of a picture of `pictureBytes`, to be filled: spilled when large.
    EncodedFile OutputFor(std::uint64_t pictureBytes) const;

    const RunSnapshot& run_;
    WorkPool* const pool_;
    MemoryBudget& budget_;
};

}  // namespace corvane
