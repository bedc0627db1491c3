#include "engine/pipeline.h"

#include "engine/report.h"
#include "imaging/picture_memory.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "read_ahead.h"

#include <algorithm>
#include <thread>

#if defined(__linux__)
#include <sched.h>
#endif

namespace corvane {
namespace {

bool CollectsTiles(OperationKind kind) {
    return kind == OperationKind::CutCountCombine || kind == OperationKind::CutCellCombine;
}

bool CutsByCount(OperationKind kind) {
    return kind == OperationKind::CutCount || kind == OperationKind::CutCountCombine;
}

// A run with nothing to write (no format, no operation) copies every file unchanged, as the
// dialog's direct-copy mode does, instead of never finishing its first file.
OperationKind EffectiveKind(const BatchSettings& settings) {
    if (settings.formats.empty() && settings.operationKind != OperationKind::Combine) {
        return OperationKind::DirectCopy;
    }
    return settings.operationKind;
}

// A name that other programs keep taking: the output is given up after this many names.
constexpr int kNameAttempts = 1000;

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

QString NameTooLongText(const QString& path) {
    return QStringLiteral("the output name %1 is too long").arg(FileNamePart(path));
}

// Notes once per file that a written output lacks the metadata it should hold.
void NoteMetadataProblem(FileResult& result, const OutputFormat& format,
                         const WriteOutcome& outcome, const QString& problem) {
    if (outcome.Written() && !problem.isEmpty()) {
        result.NoteOnce(NoteKind::MetadataUnwritten,
                        format.extension.mid(1) + QStringLiteral(": ") + problem);
    }
}

// IsUsable without consuming a failure, which the processing thread reports.
bool UsableKeepingStatus(const Bitmap* bitmap) {
    return bitmap != nullptr && bitmap->Status() == ImageStatus::Ok && bitmap->Width() > 0 &&
           bitmap->Height() > 0;
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
                   const WatermarkSettings& watermark, int workers)
    : processor_(processor),
      settings_(settings),
      watermark_(watermark),
      namer_(settings),
      kind_(EffectiveKind(settings)),
      formats_(settings.formats),
      cutColumns_(settings.cutColumns),
      cutRows_(settings.cutRows),
      workers_(std::max(workers, 1)),
      readAhead_(std::make_unique<ReadAhead>(
          workers_, [this](const QString& file) { return Prepare(file); })) {}

Pipeline::~Pipeline() = default;

bool Pipeline::BeginRun(ProcessingContext& context) {
    if (workers_ > 1) {
        pool_ = std::make_unique<WorkPool>(workers_ - 1);
    }
    // A file that a pause interrupted keeps its picture: reading ahead starts after it.
    readAhead_->Start(context.Files(), context.Cursor(), HasPendingOutputs());
    if (kind_ != OperationKind::Combine) {
        return true;
    }
    // Combined images go to the output folder itself, but the structure copy still makes the
    // first file's folder, as the dialog always did. Failing here ends the run with its verdict.
    FileResult ignored;
    return !context.AtEnd() && FolderFor(context, context.CurrentFile(), ignored).has_value();
}

std::optional<QString> Pipeline::FolderFor(ProcessingContext& context, const QString& sourceFile,
                                           FileResult& result) {
    std::optional<QString> folder = namer_.OutputFolderFor(sourceFile);
    if (!folder) {
        context.ShowStatus(texts::kSaveFolderFailed, colours::kRed);
        result.Note(NoteKind::WriteFailed,
                    QStringLiteral("the output folder for this file cannot be made"));
    }
    return folder;
}

Pipeline::Output Pipeline::WriteNamed(ProcessingContext& context, const Namer& name,
                                      const Writer& write, FileResult& result) {
    const bool overwrite = settings_.clashStrategy == ClashStrategy::Overwrite;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const OutputPath target = name();
        if (target.abandoned) {
            result.Note(NoteKind::NameTooLong, NameTooLongText(target.path));
            return Output::Abandoned;
        }
        const QString path = overwrite ? claims_.ClaimFree(target.path) : target.path;
        const WriteOutcome outcome = write(path, overwrite ? IfExists::Replace : IfExists::Fail);
        if (outcome.Written()) {
            ++context.Counters().saved;
            ++result.written;
            return Output::Written;
        }
        if (overwrite) {
            claims_.Release(path);
        }
        if (outcome.kind != WriteOutcome::Kind::NameTaken) {
            result.Note(NoteKind::WriteFailed, path + QStringLiteral(": ") + outcome.text);
            return Output::Failed;
        }
        // Another program took the free name meanwhile: the naming rules pick the next one.
    }
    result.Note(NoteKind::WriteFailed, QStringLiteral("every free name was taken meanwhile"));
    return Output::Failed;
}

Pipeline::Output Pipeline::Save(ProcessingContext& context, ImageSlot image,
                                const OutputFormat& format, const Namer& name, FileResult& result) {
    const WatermarkSettings* watermark = watermark_.on ? &watermark_ : nullptr;
    return WriteNamed(
        context, name,
        [&](const QString& path, IfExists ifExists) {
            WriteOutcome outcome;
            QString metadataProblem;
            processor_.SaveImage(image, path, format, watermark, ifExists, &outcome,
                                 &metadataProblem, pool_.get());
            NoteMetadataProblem(result, format, outcome, metadataProblem);
            return outcome;
        },
        result);
}

Pipeline::Output Pipeline::SaveEncoded(ProcessingContext& context, const EncodedFile& encoded,
                                       const OutputFormat& format, const Namer& name,
                                       FileResult& result) {
    return WriteNamed(
        context, name,
        [&](const QString& path, IfExists ifExists) {
            const WriteOutcome outcome =
                ImageProcessor::WriteEncoded(encoded.bytes, path, ifExists);
            NoteMetadataProblem(result, format, outcome, encoded.metadataProblem);
            return outcome;
        },
        result);
}

PreparedFile Pipeline::Prepare(const QString& file) const {
    PreparedFile prepared;
    if (StreamsJpegToPng() && StreamJpeg(file, prepared)) {
        return prepared;
    }
    QSize declared;
    QSize planned;
    const auto leastSize = [&](QSize size) {
        declared = size;
        return LeastSizeFor(size, &planned);
    };
    // A quarter turn may be made while the picture is decoded.
    const bool transforms =
        kind_ != OperationKind::DirectCopy && (settings_.rotate || settings_.resize);
    const int turn = transforms && settings_.rotate
                         ? ImageProcessor::QuarterTurnOf(static_cast<float>(settings_.rotateAngle))
                         : 0;
    bool turned = false;
    prepared.image =
        processor_.LoadImage(file, &prepared.raw, leastSize, &prepared.error, turn, &turned);
    const bool shrunkOnLoad =
        prepared.image && declared.isValid() && prepared.image->Image().size() != declared;
    prepared.loaded = IsUsable(prepared.image.get());
    if (!prepared.loaded) {
        return prepared;
    }
    BitmapPtr& image = prepared.image;
    if (transforms) {
        processor_.NormalizePixelFormat(image);
        if (settings_.rotate && !turned) {
            processor_.RotateByAngle(image, static_cast<float>(settings_.rotateAngle),
                                     settings_.rotateBackground);
        }
        if (settings_.resize) {
            Resize(image, planned, shrunkOnLoad);
        }
    }
    if (EncodesAhead()) {
        EncodeAhead(prepared);
    }
    return prepared;
}

bool Pipeline::StreamsJpegToPng() const {
    return kind_ == OperationKind::Plain && !settings_.sameAsSource && !settings_.rotate &&
           !settings_.resize && !watermark_.on && formats_.size() == 1 &&
           formats_.front().kind == FormatKind::Png && !formats_.front().encoderClsid.isNull();
}

bool Pipeline::StreamJpeg(const QString& file, PreparedFile& prepared) const {
    EncodedFile encoded;
    switch (processor_.StreamJpegToPng(file, settings_.stripMetadata, &encoded, &prepared.error,
                                       pool_.get())) {
        case ImageProcessor::Streamed::Converted:
            prepared.loaded = true;
            prepared.raw = RawFormat::Jpeg;
            prepared.encoded.push_back(std::move(encoded));
            return true;
        case ImageProcessor::Streamed::Failed:
            return true;  // not loaded: `error` says why
        case ImageProcessor::Streamed::NotStreamed:
            break;
    }
    prepared.error = {};
    return false;
}

bool Pipeline::EncodesAhead() const {
    // One worker writes as it always did; a format resolved per file is the processing
    // thread's.
    return workers_ > 1 && kind_ == OperationKind::Plain && !settings_.sameAsSource;
}

void Pipeline::EncodeAhead(PreparedFile& prepared) const {
    BitmapPtr& image = prepared.image;
    if (!UsableKeepingStatus(image.get())) {
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

void Pipeline::ProcessCurrentFile(ProcessingContext& context) {
    const QString& file = context.CurrentFile();
    PreparedFile prepared = readAhead_->Take(context.Cursor());
    result_ = FileResult(file);
    image_ = std::move(prepared.image);
    encoded_ = std::move(prepared.encoded);
    if (!prepared.loaded) {
        // Missing, unreadable or empty: no output, nothing expected.
        result_.Note(NoteFor(prepared.error.kind), prepared.error.text);
        SkipFile(context);
        return;
    }
    KeepOrStripMetadata(prepared.error);
    if (!prepared.error.toneMapped.isEmpty() && kind_ != OperationKind::DirectCopy) {
        result_.Note(NoteKind::ToneMapped, prepared.error.toneMapped);
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
            if (formatCursor_ == 0) {  // the tiles wait for the end of the run, cut once
                ++context.Combine().attempted;
                CutInto(tileList_);
                context.Combine().tiles = static_cast<int>(tileList_.size());
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

void Pipeline::CutInto(std::vector<BitmapPtr>& tiles) {
    if (CutsByCount(kind_)) {
        processor_.CutByCount(image_.get(), &tiles, cutColumns_, cutRows_);
    } else {
        processor_.CutByCellSize(image_.get(), &tiles, settings_.cellWidth, settings_.cellHeight,
                                 &cutRows_, &cutColumns_);
    }
}

Pipeline::Output Pipeline::SaveTiles(ProcessingContext& context, const QString& folder,
                                     const QString& base, const OutputFormat& format) {
    std::vector<BitmapPtr> tiles;
    CutInto(tiles);
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (!tiles[i]) {
            continue;  // a missing tile still uses up its number
        }
        const QString stem = FileStem(InsertCounterBeforeExtension(base, static_cast<int>(i + 1)));
        const Output saved = Save(
            context, tiles[i], format,
            [&] { return namer_.MakeOutputPath(folder, stem, format.extension); }, result_);
        if (saved == Output::Abandoned) {
            return saved;
        }
        tiles[i].reset();
    }
    return Output::Written;
}

void Pipeline::Resize(BitmapPtr& image, QSize plannedSize, bool shrunkOnLoad) const {
    if (shrunkOnLoad && plannedSize.isValid()) {
        // Decoded smaller than declared: go straight to the size the full picture would get.
        processor_.ResampleTo(image, plannedSize.width(), plannedSize.height());
    } else if (settings_.resizeByRatio) {
        processor_.ResizeByRatio(image, settings_.resizeRatio);
    } else if (settings_.resizeBySize) {
        processor_.ResizeToSize(image, settings_.resizeWidth, settings_.resizeHeight);
    } else if (settings_.resizeByLongEdge) {
        processor_.LimitLongEdge(image, settings_.longEdgeLimit);
    }
}

QSize Pipeline::LeastSizeFor(QSize declared, QSize* planned) const {
    if (kind_ == OperationKind::DirectCopy) {
        return {1, 1};  // the file is only checked to be a picture
    }
    const double angle = settings_.rotate ? settings_.rotateAngle : 0.0;
    const bool quarter = angle == 0.0 || angle == 90.0 || angle == 180.0 || angle == 270.0;
    if (!settings_.resize || !quarter) {
        return {};  // a free rotation's canvas depends on the whole picture
    }
    const bool turned = angle == 90.0 || angle == 270.0;
    const QSize shown = turned ? declared.transposed() : declared;
    QSize target;
    if (settings_.resizeByRatio) {
        target = ImageProcessor::RatioSize(shown, settings_.resizeRatio);
    } else if (settings_.resizeBySize) {
        target = ImageProcessor::ToSizeSize(shown, settings_.resizeWidth, settings_.resizeHeight);
    } else if (settings_.resizeByLongEdge) {
        target = ImageProcessor::LongEdgeSize(shown, settings_.longEdgeLimit);
    }
    if (!target.isValid()) {
        return {};
    }
    *planned = target;
    return turned ? target.transposed() : target;
}

void Pipeline::FinishFile(ProcessingContext& context) {
    image_.reset();
    encoded_.clear();
    context.Record(std::move(result_));
    PipelineCounters& counters = context.Counters();
    const int formats = FormatCount();
    if (kind_ == OperationKind::CutCount || kind_ == OperationKind::CutCell) {
        if (cutRows_ > 0 && cutColumns_ > 0) {
            counters.expected += formats * cutRows_ * cutColumns_;
        } else if (kind_ == OperationKind::CutCount) {
            counters.expected = 99'999'999;
        }
    } else {
        counters.expected += formats;
    }
    context.Advance();
    ++counters.processed;
}

void Pipeline::CopyFile(ProcessingContext& context) {
    const QString& file = context.CurrentFile();
    ++context.Counters().expected;
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

void Pipeline::CombineStep(ProcessingContext& context) {
    ++context.Combine().attempted;
    // An image that rotation or resize could not make is left out; the mosaic goes on.
    if (TransformedImageUsable() && !PlaceInMosaic(context, image_.get())) {
        context.combineAborted = true;
    }
    SkipFile(context);
}

bool Pipeline::PlaceInMosaic(ProcessingContext& context, Bitmap* image) {
    if (!processor_.AppendToCanvas(mosaic_.canvas, image, mosaic_.nextX, mosaic_.nextY)) {
        return false;
    }
    ++context.Combine().combined;
    if (groupName_.isEmpty()) {
        groupName_ = GroupNameFrom(context.CurrentFile(), context.NextFile());
    }
    const int lastColumn = settings_.combineColumns - 1;
    const int lastRow = settings_.combineRows - 1;
    if (mosaic_.column >= lastColumn && mosaic_.row >= lastRow) {
        FlushMosaic(context, groupName_, false);
        mosaic_ = {};
        // The next mosaic is named after the entry after the cursor.
        const PathList& files = context.Files();
        const std::size_t next = context.Cursor() + 1;
        groupName_ =
            next < files.size()
                ? GroupNameFrom(files[next], next + 1 < files.size() ? files[next + 1] : QString())
                : QString();
    } else if (mosaic_.column >= lastColumn) {
        ++mosaic_.row;
        mosaic_.nextX = 0;
        mosaic_.nextY = mosaic_.canvas ? mosaic_.canvas->Height() : 0;
        mosaic_.column = 0;
    } else {
        mosaic_.nextX += image->Width();
        ++mosaic_.column;
    }
    return true;
}

void Pipeline::CombineCollectedTiles(ProcessingContext& context) {
    CombineCounts& combine = context.Combine();
    combine.tiles = static_cast<int>(tileList_.size());
    // The cursor stays on the first file while the tiles are placed: the first mosaic is named
    // after it, every later one after the second file.
    for (BitmapPtr& tile : tileList_) {
        if (!tile) {
            continue;  // a tile the cut could not make: not placed, the others are
        }
        const bool placed = PlaceInMosaic(context, tile.get());
        tile.reset();
        if (!placed) {
            break;
        }
        context.SendProgress(true);
    }
    combine.allTilesCombined = combine.combined == combine.tiles;
    tileList_.clear();
}

void Pipeline::SuspendRun() {
    EndPass();
}

void Pipeline::EndPass() {
    readAhead_->Stop();
    pool_.reset();
    ReleaseKeptPictureMemory();
}

void Pipeline::EndRun(ProcessingContext& context) {
    image_.reset();
    encoded_.clear();
    readAhead_->Stop();  // the mosaics may still use every worker
    if (!CollectsTiles(kind_)) {
        FlushMosaic(context, groupName_, false);
    } else {
        context.Counters().expected = 0;
        context.Rewind();
        if (!context.AtEnd()) {
            CombineCollectedTiles(context);
            FlushMosaic(context, context.Files().front(), true);
        }
        tileList_.clear();
    }
    EndPass();
}

void Pipeline::FlushMosaic(ProcessingContext& context, const QString& groupName, bool final) {
    if (!mosaic_.canvas || groupName.isEmpty()) {
        return;
    }
    FileResult mosaic(groupName);
    for (const OutputFormat& format : formats_) {
        Namer name = [&] {
            return namer_.MakeOutputPath(settings_.savePath, FileStem(groupName), format.extension);
        };
        if (final) {
            const std::optional<QString> folder = FolderFor(context, groupName, mosaic);
            if (!folder) {
                break;
            }
            name = [&, at = *folder] {
                const QString first =
                    namer_.MakeOutputPath(at, currentStem_, format.extension).path;
                const QString counted = InsertCounterBeforeExtension(first, 1);
                return namer_.MakeOutputPath(FolderPart(counted), FileStem(counted),
                                             format.extension);
            };
        }
        Save(context, mosaic_.canvas, format, name, mosaic);
    }
    context.Record(std::move(mosaic));
    mosaic_.canvas.reset();
    context.Counters().expected += FormatCount();
}

}  // namespace corvane
