// Cuts and mosaics: tiles saved as they are cut, images placed into a mosaic as they come, and
// tiles collected over the run and combined at its end.

#include "engine/pipeline.h"
#include "file_notes.h"
#include "pipeline_naming.h"
#include "platform/path_text.h"
#include "read_ahead.h"

namespace corvane {
namespace {

bool CollectsTiles(OperationKind kind) {
    return kind == OperationKind::CutCountCombine || kind == OperationKind::CutCellCombine;
}

bool CutsByCount(OperationKind kind) {
    return kind == OperationKind::CutCount || kind == OperationKind::CutCountCombine;
}

}  // namespace

void Pipeline::CutInto(std::vector<BitmapPtr>& tiles) {
    if (CutsByCount(kind_)) {
        NoteCutTooFine(result_, image_.get(), cutColumns_, cutRows_);
    }
    try {
        if (CutsByCount(kind_)) {
            processor_.CutByCount(image_.get(), &tiles, cutColumns_, cutRows_);
        } else {
            processor_.CutByCellSize(image_.get(), &tiles, settings_.cellWidth,
                                     settings_.cellHeight, &cutRows_, &cutColumns_);
        }
    } catch (...) {
        // No memory for the list of tiles: this picture gives none, the run goes on.
        tiles.clear();
        result_.NoteOnce(NoteKind::TooLarge, OutOfMemoryText());
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

void Pipeline::EndRun(ProcessingContext& context) {
    image_.reset();
    encoded_.clear();
    readAhead_.reset();  // the mosaics may still use the pool
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
    context.Counters().AddExpected(FormatCount());
}

}  // namespace corvane
