#include "form_rules/enable_rules.h"
#include "engine/form.h"
#include "platform/file_system.h"
#include "platform/path_text.h"

#include <array>
#include <initializer_list>

namespace corvane {
namespace {

using enum ControlId;

constexpr std::array kFormatBoxes = {FormatPng,  FormatBmp, FormatJpeg, FormatGif,
                                     FormatTiff, FormatEmf, FormatWmf};

void Enable(Form& form, std::initializer_list<ControlId> ids, bool enabled) {
    for (const ControlId id : ids) {
        form.SetEnabled(id, enabled);
    }
}

void EnableFormatBoxes(Form& form, bool enabled) {
    form.SetEnabled(FormatAll, enabled);
    for (const ControlId id : kFormatBoxes) {
        form.SetEnabled(id, enabled);
    }
}

void UpdateResizeControls(Form& form) {
    const bool resize = form.IsOn(Resize);
    Enable(form,
           {ResizeRatio, ResizeWidth, LongEdgeLimit, ResizeHeight, ResizeByRatio, ResizeBySize,
            ResizeByLongEdge, ResizeSizeSeparator},
           resize);
    if (form.IsOn(ResizeByRatio)) {
        form.SetEnabled(ResizeRatio, true);
        Enable(form, {ResizeWidth, ResizeHeight, ResizeSizeSeparator, LongEdgeLimit}, false);
    } else if (form.IsOn(ResizeBySize)) {
        Enable(form, {ResizeWidth, ResizeHeight, ResizeSizeSeparator}, true);
        Enable(form, {ResizeRatio, LongEdgeLimit}, false);
    } else if (form.IsOn(ResizeByLongEdge)) {
        form.SetEnabled(LongEdgeLimit, true);
        Enable(form, {ResizeRatio, ResizeWidth, ResizeHeight, ResizeSizeSeparator}, false);
    }
}

}  // namespace

void SetSourceMode(Form& form, bool single, bool hasSelection) {
    Enable(form, {SourcePath, IncludeSubfolders, BrowseSource}, single);
    Enable(form, {AddSelection, MultiIncludeSubfolders, SelectionCounts}, !single);
    Enable(form, {ClearSelection, ViewSelection}, !single && hasSelection);
}

void UpdateOperationControls(Form& form) {
    const bool rotate = form.IsOn(Rotate);
    Enable(form, {Rotate90, Rotate180, Rotate270, RotateCustom}, rotate);
    Enable(form, {RotateAngle, RotateBackground, RotateAngleUnit}, form.IsOn(RotateCustom));

    UpdateResizeControls(form);

    const bool cut = form.IsOn(Cut);
    const bool byCount = form.IsChecked(CutByCount);
    Enable(form, {CutByCount, CutByCellSize}, cut);
    Enable(form, {CutColumns, CutRows, CutCountSeparator}, cut && byCount);
    Enable(form, {CellWidth, CellHeight, CellSeparator}, cut && !byCount);

    Enable(form, {CombineColumns, CombineRows, CombineSeparator, CombineNote}, form.IsOn(Combine));

    const bool watermark = form.IsOn(Watermark);
    Enable(form, {WatermarkByText, WatermarkByImage}, watermark);
    form.SetEnabled(WatermarkText, form.IsOn(WatermarkByText));
    Enable(form, {BrowseWatermarkImage, WatermarkImagePath}, form.IsOn(WatermarkByImage));
}

void UpdateNameClashControls(Form& form) {
    if (form.IsEnabled(ClashPrefix)) {
        form.SetEnabled(ClashPrefixText, form.IsChecked(ClashPrefix));
    }
    if (form.IsEnabled(ClashSuffix)) {
        form.SetEnabled(ClashSuffixText, form.IsChecked(ClashSuffix));
    }
    const bool longName = form.IsEnabled(ClashOverwrite) && !form.IsChecked(ClashOverwrite);
    Enable(form,
           {NameLimitLabel, NameLengthLimit, NameLimitRange, LongNameLabel, LongNameFoldPrefix,
            LongNameFoldSuffix, LongNameAbandon},
           longName);
}

void UpdateSaveModeControls(Form& form) {
    if (form.IsEnabled(SameAsSource)) {
        const bool same = form.IsChecked(SameAsSource);
        if (same) {
            form.SetChecked(DirectCopy, false);
        }
        form.SetEnabled(DirectCopy, !same);
        EnableFormatBoxes(form, !same);
    }
    if (form.IsEnabled(DirectCopy)) {
        const bool copy = form.IsChecked(DirectCopy);
        if (copy) {
            form.SetChecked(SameAsSource, false);
        }
        form.SetEnabled(SameAsSource, !copy);
        EnableFormatBoxes(form, !copy);
    }
}

void ApplyAllFormatsRule(Form& form) {
    const bool all = form.IsChecked(FormatAll);
    for (const ControlId id : kFormatBoxes) {
        form.SetChecked(id, all);
    }
}

void ApplySingleFormatRule(Form& form) {
    bool all = true;
    for (const ControlId id : kFormatBoxes) {
        all = all && form.IsChecked(id);
    }
    form.SetChecked(FormatAll, all);
}

void UpdateOpenButtons(Form& form) {
    constexpr std::array<std::array<ControlId, 3>, 2> kPairs = {{
        {SourcePath, OpenSourceCurrent, OpenSourceParent},
        {SavePath, OpenSaveCurrent, OpenSaveParent},
    }};
    for (const auto& [field, current, parent] : kPairs) {
        form.SetEnabled(current, PathExists(TypedFolderPath(form.Text(field))));
        form.SetEnabled(parent, true);
    }
}

void SetControlsEnabled(Form& form, bool enable, bool startEnabled, bool hasSelection) {
    Enable(form,
           {SourcePath, SavePath, ClashPrefixText, ClashSuffixText, IncludeSubfolders, FormatAll,
            FormatBmp, FormatPng, FormatJpeg, FormatGif, FormatTiff, FormatEmf, FormatWmf,
            SameAsSource, DirectCopy},
           enable);
    UpdateSaveModeControls(form);
    Enable(form,
           {ClashPrefix, ClashSuffix, ClashOverwrite, BrowseSource, BrowseSave, FormatLabel,
            SavePathLabel, ClashLabel, ClashPrefixExample, ClashSuffixExample, CopyFolderStructure,
            Rotate, Resize},
           enable);
    form.SetEnabled(StartButton, startEnabled);
    UpdateOperationControls(form);
    UpdateNameClashControls(form);
    UpdateOpenButtons(form);
    // In the dialog's own order the other operation boxes and the mode radios come last; the
    // operation rules then run once more to follow them.
    Enable(form, {Cut, Combine, Watermark, SinglePathRadio, MultiPathRadio}, enable);
    if (enable) {
        SetSourceMode(form, form.IsChecked(SinglePathRadio), hasSelection);
    } else {
        Enable(form,
               {SourcePath, IncludeSubfolders, BrowseSource, AddSelection, MultiIncludeSubfolders,
                SelectionCounts, ClearSelection, ViewSelection},
               false);
    }
    UpdateOperationControls(form);
}

}  // namespace corvane
