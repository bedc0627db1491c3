#include "form_rules/dialog_defaults.h"

#include "form_rules/enable_rules.h"
#include "platform/path_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <initializer_list>
#include <utility>

namespace corvane {
namespace {

using enum ControlId;

void SetDefaultTexts(Form& form) {
    const std::initializer_list<std::pair<ControlId, QString>> texts = {
        {SavePath, DefaultSaveFolder()},
        {ClashPrefixText, QStringLiteral("_CVN_")},
        {ClashSuffixText, QStringLiteral("_CVN")},
        {NameLengthLimit, QString::number(kNameLengthMax)},
        {NameLimitRange,
         QCoreApplication::translate("corvane", "个字符( 自定义数字应在 %1 到 %2 之间 )")
             .arg(kNameLengthMin)
             .arg(kNameLengthMax)},
        {RotateAngle, QStringLiteral("61.80")},
        {ResizeRatio, QStringLiteral("0.50")},
        {ResizeWidth, QStringLiteral("1024")},
        {ResizeHeight, QStringLiteral("768")},
        {LongEdgeLimit, QStringLiteral("160")},
        {CutColumns, QStringLiteral("3")},
        {CutRows, QStringLiteral("2")},
        {CellWidth, QStringLiteral("350")},
        {CellHeight, QStringLiteral("26")},
        {CombineColumns, QStringLiteral("3")},
        {CombineRows, QStringLiteral("2")},
        {CombineNote,
         QCoreApplication::translate(
             "corvane",
             "Nx1,每N张图水平合成一张\r\n1xN,每N张图垂直合成一张\r\nNxM,每NxM张纵横合成一张")},
    };
    for (const auto& [id, text] : texts) {
        form.SetText(id, text);
    }
}

}  // namespace

QString DefaultSourceFolder() {
    // A picture folder that the desktop names but nobody made counts as none: Start would only
    // refuse it.
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty() || !QDir(pictures).exists()) {
        pictures = QDir::homePath();
    }
    return NormalizeFolderPath(QDir::toNativeSeparators(pictures));
}

QString DefaultSaveFolder() {
    return NormalizeFolderPath(
        QDir::toNativeSeparators(QDir::homePath() + QStringLiteral("/CVN_Save")));
}

void ApplyDialogDefaults(Form& form, const RememberedTexts& remembered) {
    const QString source =
        remembered.sourcePath.isEmpty() ? DefaultSourceFolder() : remembered.sourcePath;
    form.SetText(SourcePath, source);
    form.SetText(WatermarkText, remembered.watermarkText.isEmpty() ? QStringLiteral("Corvane")
                                                                   : remembered.watermarkText);
    form.SetText(WatermarkImagePath,
                 remembered.watermarkImagePath.isEmpty() ? source : remembered.watermarkImagePath);
    form.SetColourValue(RotateBackground, 0x00FFFFFF);
    SetDefaultTexts(form);

    SelectRadio(form, CutByCount);
    form.SetChecked(MultiIncludeSubfolders, true);
    SelectRadio(form, SinglePathRadio);
    SetSourceMode(form, true, false);
    SelectRadio(form, WatermarkByText);
    SelectRadio(form, Rotate90);
    SelectRadio(form, ResizeByRatio);
    UpdateOperationControls(form);
    form.SetChecked(IncludeSubfolders, true);
    form.SetChecked(FormatPng, true);
    SelectRadio(form, ClashPrefix);
    form.SetEnabled(ClashPrefixText, true);
    form.SetEnabled(ClashSuffixText, false);
    SelectRadio(form, LongNameFoldPrefix);
}

}  // namespace corvane
