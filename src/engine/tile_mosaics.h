#pragma once
// Cut-then-combine (kinds 4 and 5): the tiles of a run go into mosaics of N x M as they are cut.
// A mosaic is made in one piece as soon as its tiles are known and written at once, so a run
// holds one mosaic's tiles at a time whatever its length, and each canvas is made once. What the
// run shows stays as it was when every tile waited for the end of the run: only then are the
// tiles counted as combined and the mosaics as saved and expected, one progress message per
// tile, and the mosaics' notes kept. Private to the engine.

#include "engine/file_result.h"
#include "imaging/bitmap.h"

#include <QString>

#include <cstddef>
#include <deque>
#include <vector>

namespace corvane {

// What a mosaic adds to the report once the run shows it.
struct MosaicShown {
    int afterTile = 0;     // shown with the message of this tile (counted from 1)
    bool counted = false;  // its formats are expected (a mosaic without a name writes nothing)
    int saved = 0;
    FileResult result;
};

// A mosaic made but not written yet: while the run resolves "same as source" per file (the
// mosaics take the format of the last picture), or while one of its names is an unread source
// that overwriting would destroy (it is written once that source is read, or at the end).
struct FinishedMosaic {
    BitmapPtr canvas;
    QString name;       // the source path it is named after
    std::size_t shown;  // its entry in TileMosaics::shown
};

struct TileMosaics {
    std::vector<BitmapPtr> group;  // the tiles of the mosaic being filled, in order
    int cut = 0;                   // tiles the cuts gave, missing ones included
    int placed = 0;                // tiles placed into a canvas
    bool failed = false;           // a canvas failed: no tile is placed any more
    std::deque<FinishedMosaic> waiting;
    std::vector<MosaicShown> shown;  // per mosaic made, in order
};

}  // namespace corvane
