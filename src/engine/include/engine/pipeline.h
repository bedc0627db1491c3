#pragma once
// The per-file work of a run: load each source file, rotate and resize it once, then by the run's
// operation save it whole in every format, cut it and save every tile, add it to a mosaic, cut
// it into tiles for mosaics, or copy the file unchanged. Counts every file and output for the
// report.
//
// Every output is written under the naming rules without ever replacing a file it must not:
// with a clash prefix or suffix a name that another program takes meanwhile makes the output
// move on to the next free name; with overwrite, files that were there before the run are
// replaced, but never one this run wrote (see OutputClaims).
//
// Threads: runs on the processing thread (see processing_loop.h). Its state - the current image,
// the formats still pending, the mosaic being filled and its tiles, the current file's result -
// survives a pause. With more than one worker, helper threads load, turn and resize the next
// files while the processing thread writes (at most one picture ahead per extra worker), and PNG
// rows are deflated on every worker. The helpers read only a snapshot of the run taken when the
// pipeline is made (file_preparer.h), never what the processing thread changes; memory running
// out on a helper or a pool thread becomes that file's failure. Where a file is saved whole, the
// helpers also encode its outputs into memory and drop its pixels; the processing thread only names
// and writes them. A JPEG that is only made into a PNG is never a picture at all: its rows go from
// decoder to encoder a band at a time, with one worker as with several. Everything seen from
// outside - outputs byte for byte, names, order, messages and counters, the points where Pause and
// Stop take effect - stays as with one worker.

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
struct RunSnapshot;
struct TileMosaics;

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
    // `workers` threads share the run (1: the processing thread alone). The settings and the
    // watermark are copied: the run reads its own snapshot of them, never the caller's.
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
    // Cut-then-combine (tile_mosaics.h): cuts the current picture and hands its tiles on to the
    // mosaics; makes the mosaic of the tiles gathered (a full one, or the last); writes the
    // mosaics made when they may be; shows the combined tiles at the end of the run.
    void GatherTiles(ProcessingContext& context);
    void MakeTileMosaic(ProcessingContext& context, bool last);
    void WriteFinishedMosaics(ProcessingContext& context, bool runEnds);
    bool MayWriteMosaicNow(const QString& name);
    void ShowCombinedTiles(ProcessingContext& context);
    void FlushMosaic(ProcessingContext& context, const QString& groupName, bool final);
    void WriteMosaic(ProcessingContext& context, ImageSlot canvas, const QString& groupName,
                     bool final, FileResult& result);
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

    // What the run reads, helpers included; never changed.
    const std::unique_ptr<const RunSnapshot> run_;
    const ImageProcessor& processor_;
    const BatchSettings& settings_;  // the snapshot's
    const OperationKind kind_;
    OutputNamer namer_;
    // The processing thread's own: same-as-source is resolved per file.
    std::vector<OutputFormat> formats_;

    BitmapPtr image_;  // turned and resized; none when every output was encoded ahead
    std::vector<std::optional<EncodedFile>> encoded_;  // of the current file, per format
    QString currentStem_;
    std::size_t formatCursor_ = 0;
    std::size_t formatEnd_ = 0;
    int cutColumns_ = 0;
    int cutRows_ = 0;

    CombineState mosaic_;
    QString groupName_;
    const std::unique_ptr<TileMosaics> tiles_;

    FileResult result_;  // of the current file
    OutputClaims claims_;

    // During a pass: the pool (with more than one worker) and the helpers that use it, which
    // therefore end first.
    std::unique_ptr<WorkPool> pool_;
    std::unique_ptr<MemoryBudget> budget_;
    MemoryBudget::Hold memory_;  // of the current file
    std::unique_ptr<ReadAhead> readAhead_;
};

}  // namespace corvane
