#pragma once
// Every option of one run, captured from the dialog's controls in two steps: most fields when
// Start is pressed, the naming fields and the format list when processing begins. Worker threads
// only read it.

#include "engine/form.h"
#include "engine/run_types.h"
#include "imaging/output_format.h"

#include <QString>

#include <vector>

namespace corvane {

enum class OperationKind : int {
    Plain = 0,            // each image saved whole in every format
    CutCount = 1,         // cut into columns x rows, each tile saved
    CutCell = 2,          // cut into cells of a size, each tile saved
    Combine = 3,          // every N x M images combined into one
    CutCountCombine = 4,  // cut by count, then all tiles of the run combined
    CutCellCombine = 5,   // cut by cell size, then all tiles combined
    DirectCopy = 6,       // source copied byte for byte, nothing else
};

enum class ClashStrategy : int { Prefix = 0, Suffix = 1, Overwrite = 2 };
enum class LongNameStrategy : int { FoldPrefix = 0, FoldSuffix = 1, Abandon = 2 };

struct BatchSettings {
    // Source, at Start.
    bool multiPath = false;
    QString sourcePath;  // normalised folder path; single-path mode only
    bool includeSubfolders = false;
    bool multiIncludeSubfolders = false;

    // Save, at Start unless noted.
    QString savePath;  // normalised folder path
    bool copyFolderStructure = false;
    int nameLengthLimit = 0;
    bool sameAsSource = false;
    std::vector<OutputFormat> formats;                                 // at processing start
    ClashStrategy clashStrategy = ClashStrategy::Prefix;               // at processing start
    QString clashPrefix;                                               // at processing start
    QString clashSuffix;                                               // at processing start
    LongNameStrategy longNameStrategy = LongNameStrategy::FoldPrefix;  // at processing start

    // Operations, at Start.
    bool rotate = false;
    double rotateAngle = 0.0;
    Colour rotateBackground = 0xFFFFFF;
    bool resize = false;
    bool resizeByRatio = false;
    bool resizeBySize = false;
    bool resizeByLongEdge = false;
    double resizeRatio = 0.0;
    int resizeWidth = 0;
    int resizeHeight = 0;
    int longEdgeLimit = 0;
    OperationKind operationKind = OperationKind::Plain;
    int cutColumns = 0;  // a cut by cell size overwrites both with the grid it used
    int cutRows = 0;
    int cellWidth = 0;
    int cellHeight = 0;
    int combineColumns = 0;
    int combineRows = 0;

    // Outputs, not from a control: the window always keeps the pictures' metadata (EXIF, XMP,
    // IPTC, comment); corvane-batch --strip-metadata writes none.
    bool stripMetadata = false;
    // Formats the dialog has no box for (corvane-batch -f webp,avif): written after the dialog's.
    bool webp = false;
    bool avif = false;
};

// Reads a number field: trims it, removes every space, writes the cleaned text back into the
// field, and converts it.
int ReadIntField(Form& form, ControlId id);
double ReadRealField(Form& form, ControlId id);
// A limit in pixels typed as a real number (the long edge): its whole part, within 0 and the
// largest 32-bit number.
int ReadPixelLimitField(Form& form, ControlId id);

// The operation a run performs, derived from the cut, combine and direct-copy boxes.
OperationKind DeriveOperationKind(const Form& form);

// The format boxes as BuildFormatList reads them.
FormatChoice ReadFormatChoice(const Form& form);

// Fills the fields read when Start is pressed (after validation has accepted the form).
void CaptureAtStart(Form& form, BatchSettings& settings);
// Fills the format list and the naming rules, when processing begins.
void CaptureAtProcessingStart(const Form& form, BatchSettings& settings);

}  // namespace corvane
