#pragma once
// The per-file work of a run: load each source file, rotate and resize it once, then by the run's
// operation save it whole in every format, cut it and save every tile, add it to a mosaic,
// collect its tiles for a mosaic at the end of the run, or copy the file unchanged. Counts every
// file and output for the report.
//
// Every output is written under the naming rules without ever replacing a file it must not:
// with a clash prefix or suffix a name that another program takes meanwhile makes the output
// move on to the next free name; with overwrite, files that were there before the run are
// replaced, but never one this run wrote (see OutputClaims).
//
// Threads: runs on the processing thread (see processing_loop.h). Its state - the current image,
// the formats still pending, the mosaic being filled, the collected tiles, the current file's
// result - survives a pause. With more than one worker, helper threads load, turn and resize the
// next files while the processing thread writes (at most one picture ahead per extra worker), and
// PNG rows are deflated on every worker. Where a file is saved whole, the helpers also encode its
// outputs into memory and drop its pixels; the processing thread only names and writes them. A
// JPEG that is only made into a PNG is never a picture at all: its rows go from decoder to
// encoder a band at a time, with one worker as with several. Everything seen from outside -
// outputs byte for byte, names, order, messages and counters, the points where Pause and Stop
// take effect - stays as with one worker.

#include "engine/batch_settings.h"
#include "engine/file_result.h"
#include "engine/naming.h"
#include "engine/processing_loop.h"
#include "imaging/image_processor.h"
#include "platform/memory_budget.h"
#include "platform/work_pool.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

class ReadAhead;
struct PreparedFile;
// Counts bytes for a file being made: a helper waits for room, the processing thread does not.
// Nothing when the run is stopping and the file will not be used.
using ClaimMemory = std::function<std::optional<MemoryBudget::Hold>(std::uint64_t bytes)>;

// The workers of a run when none is asked for: one per core the process may run on.
int DefaultWorkerCount();

// The memory of a run. Files in flight (their pictures, decode buffers and encoded bytes) are
// counted against `budget`: a helper waits for room before it decodes the next file, the
// processing thread never waits. A file whose processing (decode, turned canvas, resized copy,
// encoded outputs) would need more than `mostUsable` is refused as too large before it is
// decoded.
struct RunMemory {
    std::uint64_t budget = 0;  // 0: DefaultMemoryBudget of the cores the process may use
    // 0: four fifths of what the process may use (MemoryTheProcessMayUse); the rest is the
    // process's own (libraries, the file's bytes, the decoders' tables).
    std::uint64_t mostUsable = 0;
};

class Pipeline : public FileHandler {
public:
    // `workers` threads share the run (1: the processing thread alone).
    Pipeline(const ImageProcessor& processor, const BatchSettings& settings,
             const WatermarkSettings& watermark, int workers = 1, RunMemory memory = {});
    ~Pipeline() override;

    bool BeginRun(ProcessingContext& context) override;
    void SuspendRun() override;
    bool HasPendingOutputs() const override { return formatCursor_ < formatEnd_; }
    void ResumePending(ProcessingContext& context) override { ProcessFile(context); }
    void ProcessCurrentFile(ProcessingContext& context) override;
    void EndRun(ProcessingContext& context) override;

    // The run's budget, for whoever wants to see what was held (tests, benchmarks).
    const MemoryBudget& Budget() const { return *budget_; }

private:
    enum class Output { Written, Failed, Abandoned };
    // The name of one output, asked again when another program took the previous one.
    using Namer = std::function<OutputPath()>;
    // Writes one output under a name; the outcome says whether the name was taken meanwhile.
    using Writer = std::function<WriteOutcome(const QString& path, IfExists ifExists)>;

    void ProcessFile(ProcessingContext& context);
    Output WriteOutput(ProcessingContext& context, const QString& folder, const QString& path);
    Output SaveTiles(ProcessingContext& context, const QString& folder, const QString& base,
                     const OutputFormat& format);
    void CutInto(std::vector<BitmapPtr>& tiles);
    // Loads a file, then turns and resizes it as the run says. Touches nothing of the pipeline,
    // so that helper threads prepare files ahead.
    PreparedFile Prepare(const QString& file, const ClaimMemory& claim) const;
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
    void Resize(BitmapPtr& image, QSize plannedSize, bool shrunkOnLoad) const;
    // True when every file is only made a PNG: a JPEG then goes from decoder to encoder a band of
    // rows at a time, never held whole.
    bool StreamsJpegToPng() const;
    // Makes `prepared` that way; false when the file is not such a JPEG.
    bool StreamJpeg(const QString& file, const ImageProcessor::PlanFor& plan,
                    PreparedFile& prepared) const;
    // True when helpers encode a file's outputs: each is the whole picture in one format, the
    // same whatever the names and clashes turn out to be.
    bool EncodesAhead() const;
    // Encodes every output of a prepared picture; drops the picture when all were encoded.
    void EncodeAhead(PreparedFile& prepared) const;
    // The least size a file is needed at, from the size it declares: what the run's quarter turn
    // and resize make of it. Invalid when the whole picture is needed. `planned` receives the
    // size the resize gives the whole picture.
    QSize LeastSizeFor(QSize declared, QSize* planned) const;
    // The size the run's resize gives a picture of `size`; invalid when it gives none.
    QSize ResizedSize(QSize size) const;
    // Ends the helper threads of a pass and gives kept picture memory back.
    void EndPass();
    void FinishFile(ProcessingContext& context);
    void SkipFile(ProcessingContext& context);
    // Drops the loaded picture's metadata when the run strips it; notes what could not be read.
    void KeepOrStripMetadata(const LoadError& error);
    void CopyFile(ProcessingContext& context);
    void CombineStep(ProcessingContext& context);
    // Places one image into the mosaic and steps the grid; false when the canvas failed.
    bool PlaceInMosaic(ProcessingContext& context, Bitmap* image);
    void CombineCollectedTiles(ProcessingContext& context);
    void FlushMosaic(ProcessingContext& context, const QString& groupName, bool final);
    std::optional<QString> FolderFor(ProcessingContext& context, const QString& sourceFile,
                                     FileResult& result);
    // Writes one output as the naming rules say, counts it saved or notes in `result` why not.
    Output WriteNamed(ProcessingContext& context, const Namer& name, const Writer& write,
                      FileResult& result);
    Output Save(ProcessingContext& context, ImageSlot image, const OutputFormat& format,
                const Namer& name, FileResult& result);
    // Writes bytes a helper encoded, as Save writes the picture.
    Output SaveEncoded(ProcessingContext& context, const EncodedFile& encoded,
                       const OutputFormat& format, const Namer& name, FileResult& result);
    // True when the current image survived rotation and resize; notes it otherwise.
    bool TransformedImageUsable();
    int FormatCount() const { return static_cast<int>(formats_.size()); }

    const ImageProcessor& processor_;
    const BatchSettings& settings_;
    const WatermarkSettings& watermark_;
    OutputNamer namer_;
    OperationKind kind_;
    std::vector<OutputFormat> formats_;  // own copy: same-as-source is resolved per file

    BitmapPtr image_;  // turned and resized; none when every output was encoded ahead
    std::vector<std::optional<EncodedFile>> encoded_;  // of the current file, per format
    QString currentStem_;
    std::size_t formatCursor_ = 0;
    std::size_t formatEnd_ = 0;
    int cutColumns_ = 0;
    int cutRows_ = 0;

    CombineState mosaic_;
    QString groupName_;
    std::vector<BitmapPtr> tileList_;

    FileResult result_;  // of the current file
    OutputClaims claims_;

    const int workers_;
    std::unique_ptr<MemoryBudget> budget_;
    std::uint64_t mostUsable_;
    MemoryBudget::Hold memory_;  // of the current file
    std::unique_ptr<ReadAhead> readAhead_;
    std::unique_ptr<WorkPool> pool_;  // during a pass with more than one worker
};

}  // namespace corvane
