// The pipeline's dispatch: a run's passes, each file taken from the read-ahead helpers and sent
// on by the run's operation, and the counters of the report. Its policies live beside it:
// naming and retry (pipeline_naming.cpp), cuts and mosaics (pipeline_mosaics.cpp), what the
// helpers make ahead (pipeline_read_ahead.cpp) and encoding ahead (pipeline_encode_ahead.cpp).

#include "engine/pipeline.h"

#include "file_notes.h"
#include "file_preparer.h"
#include "imaging/drawing_threads.h"
#include "imaging/picture_memory.h"
#include "pipeline_naming.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "read_ahead.h"
#include "tile_mosaics.h"

#include <algorithm>
#include <limits>
#include <thread>

#if defined(__linux__)
#include <sched.h>
#endif

namespace corvane {
namespace {

NoteKind NoteFor(LoadError::Kind kind) {
    switch (kind) {
        case LoadError::Kind::NotAnImage:
            return NoteKind::NotAnImage;
        case LoadError::Kind::Corrupt:
            return NoteKind::Corrupt;
        case LoadError::Kind::TooLarge:
            return NoteKind::TooLarge;
        case LoadError::Kind::None:
        case LoadError::Kind::Unreadable:
            break;
    }
    return NoteKind::Unreadable;
}

}  // namespace

int DefaultWorkerCount() {
    int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
#if defined(__linux__)
    // A process held to fewer cores (taskset, a container's CPU set) would only hold more
    // pictures at once with more workers, not finish sooner.
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        cores = std::clamp(CPU_COUNT(&allowed), 1, cores);
    }
#endif
    return cores;
}

Pipeline::Pipeline(const ImageProcessor& processor, const BatchSettings& settings,
                   const WatermarkSettings& watermark, int workers, RunMemory memory)
    : run_(std::make_unique<const RunSnapshot>(
          processor, settings, watermark, workers,
          memory.mostUsable > 0
              ? memory.mostUsable
              : MemoryTheProcessMayUse().value_or(std::numeric_limits<std::uint64_t>::max()) / 5 *
                    4)),
      processor_(run_->processor),
      settings_(run_->settings),
      kind_(run_->kind),
      namer_(settings_),
      formats_(settings_.formats),
      cutColumns_(settings_.cutColumns),
      cutRows_(settings_.cutRows),
      tiles_(std::make_unique<TileMosaics>()),
      budget_(std::make_unique<MemoryBudget>(
          memory.budget > 0 ? memory.budget : DefaultMemoryBudget(DefaultWorkerCount()))) {}

Pipeline::~Pipeline() {
    EndPass();  // the helpers end before the pool they use
}

bool Pipeline::BeginRun(ProcessingContext& context) {
    readAhead_.reset();
    pool_.reset();
    const int workers = run_->workers;
    // More deflating threads than cores make no band sooner, only more bands held at once.
    if (const int deflating = std::min(workers, DefaultWorkerCount()) - 1; deflating > 0) {
        pool_ = std::make_unique<WorkPool>(deflating);
    }
    readAhead_ =
        std::make_unique<ReadAhead>(workers, *budget_,
                                    [preparer = FilePreparer(*run_, pool_.get(), *budget_)](
                                        const QString& file, const ClaimMemory& claim) {
                                        return preparer.Prepare(file, claim);
                                    });
    // A file that a pause interrupted keeps its picture: reading ahead starts after it.
    readAhead_->Start(context.Files(), context.Cursor(), HasPendingOutputs());
    claims_.ProtectSources(&context.Files());
    if (kind_ != OperationKind::Combine) {
        return true;
    }
    // Combined images go to the output folder itself, but the structure copy still makes the
    // first file's folder, as the dialog always did. Failing here ends the run with its verdict.
    FileResult ignored;
    return !context.AtEnd() && FolderFor(context, context.CurrentFile(), ignored).has_value();
}

void Pipeline::ProcessCurrentFile(ProcessingContext& context) {
    const QString& file = context.CurrentFile();
    PreparedFile prepared = readAhead_->Take(context.Cursor());
    claims_.ReadUpTo(context.Cursor() + 1);  // from now on its name may be overwritten
    result_ = FileResult(file);
    image_ = std::move(prepared.image);
    encoded_ = std::move(prepared.encoded);
    memory_ = std::move(prepared.memory);
    if (!prepared.loaded) {
        // Missing, unreadable or empty: no output, nothing expected.
        result_.Note(NoteFor(prepared.error.kind), prepared.error.text);
        SkipFile(context);
        return;
    }
    KeepOrStripMetadata(prepared.error);
    if (kind_ != OperationKind::DirectCopy) {  // a copy is its source, whole and unmapped
        NoteTruncated(result_, prepared.error);
        if (!prepared.error.toneMapped.isEmpty()) {
            result_.Note(NoteKind::ToneMapped, prepared.error.toneMapped);
        }
    }
    if (settings_.sameAsSource && !formats_.empty()) {
        ResolveSameAsSource(formats_.front(), prepared.raw, file);
    }
    ++context.Counters().recognised;
    currentStem_ = FileStem(file);
    switch (kind_) {
        case OperationKind::Combine:
            CombineStep(context);
            return;
        case OperationKind::DirectCopy:
            CopyFile(context);
            return;
        default:
            break;
    }
    formatCursor_ = 0;
    formatEnd_ = formats_.size();
    ProcessFile(context);
}

void Pipeline::KeepOrStripMetadata(const LoadError& error) {
    if (settings_.stripMetadata) {
        if (image_) {  // else stripped before encoding ahead
            image_->SetMetadata(nullptr);
        }
    } else if (!error.metadataProblem.isEmpty() && kind_ != OperationKind::DirectCopy) {
        // A copy keeps the file's bytes, metadata and all.
        result_.Note(NoteKind::MetadataUnread, error.metadataProblem);
    }
}

void Pipeline::SkipFile(ProcessingContext& context) {
    image_.reset();
    encoded_.clear();
    memory_.Release();
    context.Record(std::move(result_));
    context.Advance();
    ++context.Counters().processed;
}

void Pipeline::ProcessFile(ProcessingContext& context) {
    while (formatCursor_ < formatEnd_) {
        if (!context.Checkpoint()) {
            return;  // the file stays current with its image and its remaining formats
        }
        const std::optional<QString> folder = FolderFor(context, context.CurrentFile(), result_);
        if (!folder) {
            break;  // given up: counted as expected and not saved
        }
        const OutputFormat& format = formats_[formatCursor_];
        const OutputPath path = namer_.MakeOutputPath(*folder, currentStem_, format.extension);
        if (path.abandoned) {
            result_.Note(NoteKind::NameTooLong, NameTooLongText(path.path));
            break;  // nothing more of this file is written
        }
        if (image_ || !encoded_.empty()) {
            if (!TransformedImageUsable()) {
                break;  // counted as expected and not saved
            }
            if (WriteOutput(context, *folder, path.path) == Output::Abandoned) {
                break;  // a tile's name is too long: no further tile, no further format
            }
        }
        ++formatCursor_;
    }
    formatCursor_ = formatEnd_ = 0;
    FinishFile(context);
}

Pipeline::Output Pipeline::WriteOutput(ProcessingContext& context, const QString& folder,
                                       const QString& path) {
    const OutputFormat& format = formats_[formatCursor_];
    switch (kind_) {
        case OperationKind::CutCount:
        case OperationKind::CutCell:
            return SaveTiles(context, folder, path, format);
        case OperationKind::CutCountCombine:
        case OperationKind::CutCellCombine:
            if (formatCursor_ == 0) {  // cut once, into the mosaics
                GatherTiles(context);
            }
            return Output::Written;
        default:
            break;
    }
    const Namer name = [&] {
        return namer_.MakeOutputPath(folder, currentStem_, format.extension);
    };
    if (formatCursor_ < encoded_.size() && encoded_[formatCursor_]) {
        const Output output = SaveEncoded(context, *encoded_[formatCursor_], format, name, result_);
        encoded_[formatCursor_].reset();
        return output;
    }
    return Save(context, image_, format, name, result_);
}

void Pipeline::FinishFile(ProcessingContext& context) {
    image_.reset();
    encoded_.clear();
    memory_.Release();
    context.Record(std::move(result_));
    PipelineCounters& counters = context.Counters();
    const int formats = FormatCount();
    if (kind_ == OperationKind::CutCount || kind_ == OperationKind::CutCell) {
        if (cutRows_ > 0 && cutColumns_ > 0) {
            // Tiles of one picture, at most an int's worth, so that the product stays in range.
            const qint64 tiles =
                std::min<qint64>(qint64(cutRows_) * cutColumns_, std::numeric_limits<int>::max());
            counters.AddExpected(tiles * formats);
        } else if (kind_ == OperationKind::CutCount) {
            // A count no run reaches: a cut by count without its grid writes an unknown number of
            // tiles, so the run can never be called complete.
            counters.expected = 99'999'999;
        }
    } else {
        counters.AddExpected(formats);
    }
    context.Advance();
    ++counters.processed;
}

void Pipeline::CopyFile(ProcessingContext& context) {
    const QString& file = context.CurrentFile();
    context.Counters().AddExpected(1);
    // With the overwrite strategy an existing target is replaced, as every other output is.
    if (const std::optional<QString> folder = FolderFor(context, file, result_)) {
        WriteNamed(
            context,
            [&] { return namer_.MakeOutputPath(*folder, FileStem(file), FileExtension(file)); },
            [&](const QString& path, IfExists ifExists) {
                WriteOutcome outcome;
                CopyFileAtomically(file, path, ifExists, &outcome);
                return outcome;
            },
            result_);
    }
    SkipFile(context);
}

bool Pipeline::TransformedImageUsable() {
    // Without its picture the file had every output encoded ahead, so the picture was usable.
    if ((!image_ && !encoded_.empty()) || IsUsable(image_.get())) {
        return true;
    }
    result_.Note(NoteKind::TooLarge,
                 QStringLiteral("the picture cannot be held after rotation or resize"));
    return false;
}

void Pipeline::SuspendRun() {
    EndPass();
}

void Pipeline::EndPass() {
    readAhead_.reset();
    pool_.reset();
    EndDrawingThreads();
    ReleaseKeptPictureMemory();
}

}  // namespace corvane
