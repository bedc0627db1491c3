#include "engine/pipeline.h"

#include "engine/report.h"
#include "platform/file_system.h"
#include "platform/path_text.h"

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

}  // namespace

Pipeline::Pipeline(const ImageProcessor& processor, const BatchSettings& settings,
                   const WatermarkSettings& watermark)
    : processor_(processor),
      settings_(settings),
      watermark_(watermark),
      namer_(settings),
      kind_(EffectiveKind(settings)),
      formats_(settings.formats),
      cutColumns_(settings.cutColumns),
      cutRows_(settings.cutRows) {}

bool Pipeline::BeginRun(ProcessingContext& context) {
    if (kind_ != OperationKind::Combine) {
        return true;
    }
    // Combined images go to the output folder itself, but the structure copy still makes the
    // first file's folder, as the dialog always did. Failing here ends the run with its verdict.
    return !context.AtEnd() && FolderFor(context, context.CurrentFile()).has_value();
}

std::optional<QString> Pipeline::FolderFor(ProcessingContext& context, const QString& sourceFile) {
    std::optional<QString> folder = namer_.OutputFolderFor(sourceFile);
    if (!folder) {
        context.ShowStatus(texts::kSaveFolderFailed, colours::kRed);
    }
    return folder;
}

bool Pipeline::Save(ProcessingContext& context, ImageSlot image, const QString& path,
                    const OutputFormat& format) {
    const bool saved =
        processor_.SaveImage(image, path, format, watermark_.on ? &watermark_ : nullptr);
    if (saved) {
        ++context.Counters().saved;
    }
    return saved;
}

void Pipeline::ProcessCurrentFile(ProcessingContext& context) {
    rotationDone_ = false;
    resizeDone_ = false;
    const QString& file = context.CurrentFile();
    RawFormat raw = RawFormat::Undefined;
    plannedSize_ = QSize();
    QSize declared;
    const auto leastSize = [&](QSize size) {
        declared = size;
        return LeastSizeFor(size);
    };
    image_ = PathExists(file) ? processor_.LoadImage(file, &raw, leastSize) : nullptr;
    shrunkOnLoad_ = image_ && declared.isValid() && image_->Image().size() != declared;
    if (!IsUsable(image_.get())) {
        SkipFile(context);  // missing, unreadable or empty: no output, nothing expected
        return;
    }
    if (settings_.sameAsSource && !formats_.empty()) {
        ResolveSameAsSource(formats_.front(), raw, file);
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

void Pipeline::SkipFile(ProcessingContext& context) {
    image_.reset();
    context.Advance();
    ++context.Counters().processed;
}

void Pipeline::ProcessFile(ProcessingContext& context) {
    while (formatCursor_ < formatEnd_) {
        if (!context.Checkpoint()) {
            return;  // the file stays current with its image and its remaining formats
        }
        const std::optional<QString> folder = FolderFor(context, context.CurrentFile());
        if (!folder) {
            break;  // given up: counted as expected and not saved
        }
        const OutputFormat& format = formats_[formatCursor_];
        const OutputPath path = namer_.MakeOutputPath(*folder, currentStem_, format.extension);
        if (path.abandoned) {
            break;  // the name is too long: nothing more of this file is written
        }
        if (image_) {
            ApplyRotateResize();
            WriteOutput(context, *folder, path.path);
        }
        ++formatCursor_;
    }
    formatCursor_ = formatEnd_ = 0;
    FinishFile(context);
}

void Pipeline::WriteOutput(ProcessingContext& context, const QString& folder, const QString& path) {
    const OutputFormat& format = formats_[formatCursor_];
    switch (kind_) {
        case OperationKind::CutCount:
        case OperationKind::CutCell:
            SaveTiles(context, folder, path, format);
            return;
        case OperationKind::CutCountCombine:
        case OperationKind::CutCellCombine:
            if (formatCursor_ == 0) {  // the tiles wait for the end of the run, cut once
                ++context.Combine().attempted;
                CutInto(tileList_);
                context.Combine().tiles = static_cast<int>(tileList_.size());
            }
            return;
        default:
            Save(context, image_, path, format);
            return;
    }
}

void Pipeline::CutInto(std::vector<BitmapPtr>& tiles) {
    if (CutsByCount(kind_)) {
        processor_.CutByCount(image_.get(), &tiles, cutColumns_, cutRows_);
    } else {
        processor_.CutByCellSize(image_.get(), &tiles, settings_.cellWidth, settings_.cellHeight,
                                 &cutRows_, &cutColumns_);
    }
}

void Pipeline::SaveTiles(ProcessingContext& context, const QString& folder, const QString& base,
                         const OutputFormat& format) {
    std::vector<BitmapPtr> tiles;
    CutInto(tiles);
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        if (!tiles[i]) {
            continue;  // a missing tile still uses up its number
        }
        const QString numbered = InsertCounterBeforeExtension(base, static_cast<int>(i + 1));
        const OutputPath name = namer_.MakeOutputPath(folder, FileStem(numbered), format.extension);
        if (!name.abandoned) {
            Save(context, tiles[i], name.path, format);
        }
        tiles[i].reset();
    }
}

void Pipeline::ApplyRotateResize() {
    if (!settings_.rotate && !settings_.resize) {
        return;
    }
    processor_.NormalizePixelFormat(image_);
    if (settings_.rotate && !rotationDone_) {
        processor_.RotateByAngle(image_, static_cast<float>(settings_.rotateAngle),
                                 settings_.rotateBackground);
        rotationDone_ = true;
    }
    if (settings_.resize && !resizeDone_) {
        Resize();
        resizeDone_ = true;
    }
}

void Pipeline::Resize() {
    if (shrunkOnLoad_ && plannedSize_.isValid()) {
        // Decoded smaller than declared: go straight to the size the full picture would get.
        processor_.ResampleTo(image_, plannedSize_.width(), plannedSize_.height());
    } else if (settings_.resizeByRatio) {
        processor_.ResizeByRatio(image_, settings_.resizeRatio);
    } else if (settings_.resizeBySize) {
        processor_.ResizeToSize(image_, settings_.resizeWidth, settings_.resizeHeight);
    } else if (settings_.resizeByLongEdge) {
        processor_.LimitLongEdge(image_, settings_.longEdgeLimit);
    }
}

QSize Pipeline::LeastSizeFor(QSize declared) {
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
    plannedSize_ = target;
    return turned ? target.transposed() : target;
}

void Pipeline::FinishFile(ProcessingContext& context) {
    image_.reset();
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
    if (const std::optional<QString> folder = FolderFor(context, file)) {
        const OutputPath target =
            namer_.MakeOutputPath(*folder, FileStem(file), FileExtension(file));
        // With the overwrite strategy an existing target is replaced, as every other output is.
        const bool replace = settings_.clashStrategy == ClashStrategy::Overwrite;
        if (!target.abandoned && CopyFileAtomically(file, target.path, replace)) {
            ++context.Counters().saved;
        }
    }
    SkipFile(context);
}

void Pipeline::CombineStep(ProcessingContext& context) {
    ++context.Combine().attempted;
    ApplyRotateResize();
    if (!PlaceInMosaic(context, image_.get())) {
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

void Pipeline::EndRun(ProcessingContext& context) {
    image_.reset();
    if (!CollectsTiles(kind_)) {
        FlushMosaic(context, groupName_, false);
        return;
    }
    context.Counters().expected = 0;
    context.Rewind();
    if (!context.AtEnd()) {
        CombineCollectedTiles(context);
        FlushMosaic(context, context.Files().front(), true);
    }
    tileList_.clear();
}

void Pipeline::FlushMosaic(ProcessingContext& context, const QString& groupName, bool final) {
    if (!mosaic_.canvas || groupName.isEmpty()) {
        return;
    }
    for (const OutputFormat& format : formats_) {
        QString target;
        if (!final) {
            const OutputPath path =
                namer_.MakeOutputPath(settings_.savePath, FileStem(groupName), format.extension);
            if (path.abandoned) {
                continue;
            }
            target = path.path;
        } else {
            const std::optional<QString> folder = FolderFor(context, groupName);
            if (!folder) {
                break;
            }
            const QString first =
                namer_.MakeOutputPath(*folder, currentStem_, format.extension).path;
            const QString counted = InsertCounterBeforeExtension(first, 1);
            const OutputPath path =
                namer_.MakeOutputPath(FolderPart(counted), FileStem(counted), format.extension);
            if (path.abandoned) {
                continue;
            }
            target = path.path;
        }
        Save(context, mosaic_.canvas, target, format);
    }
    mosaic_.canvas.reset();
    context.Counters().expected += FormatCount();
}

}  // namespace corvane
