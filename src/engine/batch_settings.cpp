#include "engine/batch_settings.h"

#include "platform/file_system.h"
#include "platform/numbers.h"

#include <climits>
#include <cmath>

namespace corvane {

using enum ControlId;

namespace {

void CaptureSource(const Form& form, BatchSettings& s) {
    s.multiPath = form.IsChecked(MultiPathRadio);
    s.sourcePath = FolderPathOf(form.Text(SourcePath));
    s.includeSubfolders = form.IsChecked(IncludeSubfolders);
    s.multiIncludeSubfolders = form.IsChecked(MultiIncludeSubfolders);
}

void CaptureSave(Form& form, BatchSettings& s) {
    s.savePath = FolderPathOf(form.Text(SavePath));
    s.copyFolderStructure = form.IsChecked(CopyFolderStructure) && !s.multiPath;
    s.nameLengthLimit = ReadIntField(form, NameLengthLimit);
    s.sameAsSource = form.IsOn(SameAsSource);
}

void CaptureRotation(Form& form, BatchSettings& s) {
    s.rotate = form.IsChecked(Rotate);
    s.rotateAngle = 0.0;
    s.rotateBackground = 0xFFFFFF;
    if (!s.rotate) {
        return;
    }
    if (form.IsChecked(Rotate90)) {
        s.rotateAngle = 90.0;
    } else if (form.IsChecked(Rotate180)) {
        s.rotateAngle = 180.0;
    } else if (form.IsChecked(Rotate270)) {
        s.rotateAngle = 270.0;
    } else if (form.IsChecked(RotateCustom)) {
        s.rotateAngle = ReadRealField(form, RotateAngle);
        s.rotateBackground = form.ColourValue(RotateBackground);
    }
}

void CaptureResize(Form& form, BatchSettings& s) {
    s.resize = form.IsChecked(Resize);
    if (!s.resize) {
        return;
    }
    s.resizeByRatio = form.IsChecked(ResizeByRatio);
    s.resizeBySize = form.IsChecked(ResizeBySize);
    s.resizeByLongEdge = form.IsChecked(ResizeByLongEdge);
    s.resizeRatio = ReadRealField(form, ResizeRatio);
    s.resizeWidth = ReadIntField(form, ResizeWidth);
    s.resizeHeight = ReadIntField(form, ResizeHeight);
    s.longEdgeLimit = ReadPixelLimitField(form, LongEdgeLimit);
}

void CaptureCutAndCombine(Form& form, BatchSettings& s) {
    s.operationKind = DeriveOperationKind(form);
    s.cutColumns = ReadIntField(form, CutColumns);
    s.cutRows = ReadIntField(form, CutRows);
    s.cellWidth = ReadIntField(form, CellWidth);
    s.cellHeight = ReadIntField(form, CellHeight);
    s.combineColumns = ReadIntField(form, CombineColumns);
    s.combineRows = ReadIntField(form, CombineRows);
}

}  // namespace

int ReadIntField(Form& form, ControlId id) {
    const QString cleaned = CleanNumberText(form.Text(id));
    form.SetText(id, cleaned);
    return ParseLeadingInt(cleaned);
}

double ReadRealField(Form& form, ControlId id) {
    const QString cleaned = CleanNumberText(form.Text(id));
    form.SetText(id, cleaned);
    return ParseLeadingReal(cleaned);
}

int ReadPixelLimitField(Form& form, ControlId id) {
    // Read as the real number the validation judged ("1e3" is 1000), then its whole part.
    const double whole = std::trunc(ReadRealField(form, id));
    if (!(whole >= 0)) {
        return 0;  // nothing, or negative: limits nothing
    }
    return whole >= INT_MAX ? INT_MAX : static_cast<int>(whole);
}

OperationKind DeriveOperationKind(const Form& form) {
    OperationKind kind = OperationKind::Plain;
    if (form.IsChecked(Cut)) {
        kind = form.IsChecked(CutByCount) ? OperationKind::CutCount : OperationKind::CutCell;
    }
    if (form.IsChecked(Combine)) {
        switch (kind) {
            case OperationKind::CutCount:
                kind = OperationKind::CutCountCombine;
                break;
            case OperationKind::CutCell:
                kind = OperationKind::CutCellCombine;
                break;
            default:
                kind = OperationKind::Combine;
                break;
        }
    }
    if (form.IsOn(DirectCopy)) {
        kind = OperationKind::DirectCopy;
    }
    return kind;
}

FormatChoice ReadFormatChoice(const Form& form) {
    FormatChoice choice;
    choice.sameAsSource = form.IsChecked(SameAsSource);
    choice.all = form.IsChecked(FormatAll);
    choice.png = form.IsChecked(FormatPng);
    choice.bmp = form.IsChecked(FormatBmp);
    choice.jpeg = form.IsChecked(FormatJpeg);
    choice.gif = form.IsChecked(FormatGif);
    choice.tiff = form.IsChecked(FormatTiff);
    choice.emf = form.IsChecked(FormatEmf);
    choice.wmf = form.IsChecked(FormatWmf);
    return choice;
}

void CaptureAtStart(Form& form, BatchSettings& settings) {
    CaptureSource(form, settings);
    CaptureSave(form, settings);
    CaptureRotation(form, settings);
    CaptureResize(form, settings);
    CaptureCutAndCombine(form, settings);
}

void CaptureAtProcessingStart(const Form& form, BatchSettings& settings) {
    FormatChoice choice = ReadFormatChoice(form);
    choice.webp = settings.webp;
    choice.avif = settings.avif;
    settings.formats = BuildFormatList(choice);
    if (form.IsChecked(ClashPrefix)) {
        settings.clashStrategy = ClashStrategy::Prefix;
        settings.clashPrefix = form.Text(ClashPrefixText).trimmed();
    } else if (form.IsChecked(ClashSuffix)) {
        settings.clashStrategy = ClashStrategy::Suffix;
        settings.clashSuffix = form.Text(ClashSuffixText).trimmed();
    } else if (form.IsChecked(ClashOverwrite)) {
        settings.clashStrategy = ClashStrategy::Overwrite;
    }
    if (form.IsChecked(LongNameFoldPrefix)) {
        settings.longNameStrategy = LongNameStrategy::FoldPrefix;
    } else if (form.IsChecked(LongNameFoldSuffix)) {
        settings.longNameStrategy = LongNameStrategy::FoldSuffix;
    } else if (form.IsChecked(LongNameAbandon)) {
        settings.longNameStrategy = LongNameStrategy::Abandon;
    }
}

}  // namespace corvane
