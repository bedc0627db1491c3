// Cuts and mosaics: tiles saved as they are cut, images placed into a mosaic as they come, and
// the tiles of a cut-then-combine run gathered into mosaics as they are cut (tile_mosaics.h).

#include "engine/pipeline.h"
#include "file_notes.h"
#include "pipeline_naming.h"
#include "platform/path_text.h"
#include "read_ahead.h"
#include "tile_mosaics.h"

#include <algorithm>
#include <limits>

namespace corvane {
namespace {

bool CollectsTiles(OperationKind kind) {
    return kind == OperationKind::CutCountCombine || kind == OperationKind::CutCellCombine;
}

bool CutsByCount(OperationKind kind) {
    return kind == OperationKind::CutCount || kind == OperationKind::CutCountCombine;
}

// Where each image of one mosaic goes, as the grid step places them one after the other: left to
// right in rows of `columns`, each row starting at the left edge below everything placed before.
std::vector<QPoint> LayOutMosaic(const std::vector<Bitmap*>& images, int columns) {
    std::vector<QPoint> places;
    places.reserve(images.size());
    // Wide sums: a place beyond an int is beyond any canvas too, and making it fails first.
    const auto clamped = [](qint64 at) {
        return static_cast<int>(std::min<qint64>(at, std::numeric_limits<int>::max()));
    };
    qint64 x = 0;
    qint64 y = 0;
    qint64 bottom = 0;
    int column = 0;
    for (const Bitmap* image : images) {
        places.emplace_back(clamped(x), clamped(y));
        if (!IsUsable(image)) {
            break;  // placing fails here: nothing after it is placed
        }
        bottom = std::max(bottom, y + image->Height());
        if (column >= columns - 1) {
            column = 0;
            x = 0;
            y = bottom;
        } else {
            x += image->Width();
            ++column;
        }
    }
    places.resize(images.size());
    return places;
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

void Pipeline::GatherTiles(ProcessingContext& context) {
    ++context.Combine().attempted;
    std::vector<BitmapPtr> tiles;
    CutInto(tiles);
    TileMosaics& mosaics = *tiles_;
    mosaics.cut += static_cast<int>(tiles.size());
    context.Combine().tiles = mosaics.cut;
    const std::size_t perMosaic =
        std::size_t(settings_.combineColumns) * std::size_t(settings_.combineRows);
    for (BitmapPtr& tile : tiles) {
        // A tile the cut could not make is not placed, the others are; after a canvas failed,
        // none is.
        if (!tile || mosaics.failed) {
            continue;
        }
        const bool usable = IsUsable(tile.get());
        mosaics.group.push_back(std::move(tile));
        if (!usable || mosaics.group.size() >= perMosaic) {
            MakeTileMosaic(context, false);  // an unusable tile ends the combining there
        }
    }
    WriteFinishedMosaics(context, false);
}

void Pipeline::MakeTileMosaic(ProcessingContext& context, bool last) {
    TileMosaics& mosaics = *tiles_;
    std::vector<Bitmap*> images;
    for (const BitmapPtr& tile : mosaics.group) {
        images.push_back(tile.get());
    }
    const std::vector<QPoint> places = LayOutMosaic(images, settings_.combineColumns);
    BitmapPtr canvas;
    std::size_t placed = images.size();
    if (!processor_.DrawMosaic(canvas, images, places)) {
        // No memory for the whole canvas at once, or a tile that cannot be drawn: placed in turn
        // on a growing canvas up to the one that fails, which keeps what was placed.
        for (placed = 0; placed < images.size(); ++placed) {
            if (!processor_.AppendToCanvas(canvas, images[placed], places[placed].x(),
                                           places[placed].y())) {
                mosaics.failed = true;
                break;
            }
        }
    }
    mosaics.group.clear();
    mosaics.placed += static_cast<int>(placed);
    if (last || mosaics.failed) {
        mosaic_.canvas = std::move(canvas);  // written as the run's last mosaic
        return;
    }
    // Named as when every tile waited for the end: the first mosaic after the first file, every
    // later one after the second.
    const PathList& files = context.Files();
    const auto nameFrom = [&](std::size_t i) {
        return i < files.size()
                   ? GroupNameFrom(files[i], i + 1 < files.size() ? files[i + 1] : QString())
                   : QString();
    };
    const QString name = groupName_.isEmpty() ? nameFrom(0) : groupName_;
    groupName_ = nameFrom(1);
    MosaicShown shown;
    shown.afterTile = mosaics.placed;
    mosaics.shown.push_back(std::move(shown));
    mosaics.waiting.push_back({std::move(canvas), name, mosaics.shown.size() - 1});
}

bool Pipeline::MayWriteMosaicNow(const QString& name) {
    if (settings_.sameAsSource) {
        return false;  // mosaics take the format of the run's last picture
    }
    if (settings_.clashStrategy != ClashStrategy::Overwrite) {
        return true;
    }
    for (const OutputFormat& format : formats_) {
        const OutputPath target =
            namer_.MakeOutputPath(settings_.savePath, FileStem(name), format.extension);
        if (!target.abandoned && claims_.PassesUnreadSource(target.path)) {
            return false;  // written once that source is read, under the name it gets then
        }
    }
    return true;
}

void Pipeline::WriteFinishedMosaics(ProcessingContext& context, bool runEnds) {
    TileMosaics& mosaics = *tiles_;
    while (!mosaics.waiting.empty()) {
        FinishedMosaic& mosaic = mosaics.waiting.front();
        if (!runEnds && !MayWriteMosaicNow(mosaic.name)) {
            return;  // and every later one waits behind it, so that names come in order
        }
        MosaicShown& shown = mosaics.shown[mosaic.shown];
        if (mosaic.canvas && !mosaic.name.isEmpty()) {
            shown.counted = true;
            shown.result = FileResult(mosaic.name);
            int& saved = context.Counters().saved;
            const int before = saved;
            WriteMosaic(context, mosaic.canvas, mosaic.name, false, shown.result);
            shown.saved = saved - before;
            saved = before;  // counted when the run shows its tiles combined
        }
        mosaics.waiting.pop_front();
    }
}

void Pipeline::ShowCombinedTiles(ProcessingContext& context) {
    TileMosaics& mosaics = *tiles_;
    CombineCounts& combine = context.Combine();
    combine.tiles = mosaics.cut;
    auto mosaic = mosaics.shown.begin();
    for (int tile = 1; tile <= mosaics.placed; ++tile) {
        ++combine.combined;
        for (; mosaic != mosaics.shown.end() && mosaic->afterTile == tile; ++mosaic) {
            if (mosaic->counted) {
                context.Counters().saved += mosaic->saved;
                context.Counters().AddExpected(FormatCount());
                context.Record(std::move(mosaic->result));
            }
        }
        context.SendProgress(true);
    }
    combine.allTilesCombined = combine.combined == combine.tiles;
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
            WriteFinishedMosaics(context, true);
            if (!tiles_->failed && !tiles_->group.empty()) {
                MakeTileMosaic(context, true);
            }
            ShowCombinedTiles(context);
            FlushMosaic(context, context.Files().front(), true);
        }
        *tiles_ = {};
    }
    EndPass();
}

void Pipeline::FlushMosaic(ProcessingContext& context, const QString& groupName, bool final) {
    if (!mosaic_.canvas || groupName.isEmpty()) {
        return;
    }
    FileResult mosaic(groupName);
    WriteMosaic(context, mosaic_.canvas, groupName, final, mosaic);
    context.Record(std::move(mosaic));
    mosaic_.canvas.reset();
    context.Counters().AddExpected(FormatCount());
}

void Pipeline::WriteMosaic(ProcessingContext& context, ImageSlot canvas, const QString& groupName,
                           bool final, FileResult& mosaic) {
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
        Save(context, canvas, format, name, mosaic);
    }
}

}  // namespace corvane
