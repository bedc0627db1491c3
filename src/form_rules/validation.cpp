#include "form_rules/validation.h"

#include "form_rules/dialog_defaults.h"
#include "platform/file_system.h"
#include "platform/numbers.h"
#include "platform/path_text.h"

#include <QCoreApplication>
#include <array>
#include <cfloat>
#include <climits>
#include <cmath>
#include <optional>

namespace corvane {
namespace {

using enum ControlId;
using Refusal = std::optional<QString>;

double ReadNumber(const Form& form, ControlId id) {
    return ParseLeadingReal(form.Text(id).trimmed());
}

bool IsWholeNumberText(const QString& text) {
    if (text.isEmpty() || text[0] < u'1' || text[0] > u'9') {
        return false;
    }
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

// Normalises a field and checks it, giving the message when it fails.
Refusal RequirePositive(Form& form, ControlId id, bool allowFraction, const QString& message) {
    NormalizeField(form, id, true);
    return CheckPositiveNumber(form, id, allowFraction) ? Refusal() : Refusal(message);
}

// The rotation angle is turned as a single-precision number: a larger one has no such value.
Refusal CheckRotation(Form& form) {
    if (!form.IsOn(Rotate) || !form.IsChecked(RotateCustom)) {
        return {};
    }
    NormalizeField(form, RotateAngle, true);
    const double angle = ReadNumber(form, RotateAngle);
    return std::isfinite(angle) && std::fabs(angle) <= FLT_MAX
               ? Refusal()
               : Refusal(QCoreApplication::translate("corvane", "请输入正确的 旋转角度 数值。"));
}

// The long-edge limit is a number of pixels: its whole part (a limit of 12.5 keeps the long
// edge within 12 pixels) must be at least 1 and fit a 32-bit number.
bool IsWholePixelLimit(const Form& form, ControlId id) {
    if (!form.IsEnabled(id)) {
        return true;
    }
    const double whole = std::trunc(ReadNumber(form, id));
    return whole >= 1 && whole <= INT_MAX;
}

Refusal CheckResize(Form& form) {
    if (!form.IsOn(Resize)) {
        return {};
    }
    if (form.IsOn(ResizeByRatio)) {
        if (auto r = RequirePositive(
                form, ResizeRatio, true,
                QCoreApplication::translate("corvane", "请输入大于零的 缩放比例数"))) {
            return r;
        }
    }
    if (form.IsOn(ResizeBySize)) {
        NormalizeField(form, ResizeWidth, true);
        NormalizeField(form, ResizeHeight, true);
        const double w = ReadNumber(form, ResizeWidth);
        const double h = ReadNumber(form, ResizeHeight);
        if (w == 0 && h == 0) {
            return QCoreApplication::translate("corvane", "图像缩放的宽高，不能同时为零。");
        }
        if (w != 0 && !CheckPositiveNumber(form, ResizeWidth, false)) {
            return QCoreApplication::translate(
                "corvane", "请输入大于-1的 图像缩放 宽度，并且输入数值不能含有小数点。");
        }
        if (h != 0 && !CheckPositiveNumber(form, ResizeHeight, false)) {
            return QCoreApplication::translate(
                "corvane", "请输入大于-1的 图像缩放 高度，并且输入数值不能含有小数点。");
        }
    }
    if (form.IsOn(ResizeByLongEdge)) {
        const QString message =
            QCoreApplication::translate("corvane", "请输入大于零的 大边约束 数值。");
        if (auto r = RequirePositive(form, LongEdgeLimit, true, message)) {
            return r;
        }
        return IsWholePixelLimit(form, LongEdgeLimit) ? Refusal() : Refusal(message);
    }
    return {};
}

Refusal CheckPair(Form& form, ControlId first, const QString& firstText, ControlId second,
                  const QString& secondText) {
    const QString message =
        QCoreApplication::translate("corvane", "请输入大于零的 %1，并且输入数值不能含有小数点。");
    if (auto r = RequirePositive(form, first, false, message.arg(firstText))) {
        return r;
    }
    return RequirePositive(form, second, false, message.arg(secondText));
}

Refusal CheckCutAndCombine(Form& form) {
    if (form.IsOn(Cut)) {
        const Refusal r =
            form.IsOn(CutByCount)
                ? CheckPair(form, CutColumns,
                            QCoreApplication::translate("corvane", "图像切割 水平模块数"), CutRows,
                            QCoreApplication::translate("corvane", "图像切割 垂直模块数"))
                : CheckPair(form, CellWidth,
                            QCoreApplication::translate("corvane", "图像切割 单元格的宽"),
                            CellHeight,
                            QCoreApplication::translate("corvane", "图像切割 单元格的高"));
        if (r) {
            return r;
        }
    }
    if (form.IsOn(Combine)) {
        return CheckPair(form, CombineColumns,
                         QCoreApplication::translate("corvane", "图像合并 水平模块数"), CombineRows,
                         QCoreApplication::translate("corvane", "图像合并 垂直模块数"));
    }
    return {};
}

Refusal CheckWatermarkFields(Form& form) {
    if (!form.IsOn(Watermark)) {
        return {};
    }
    if (form.IsOn(WatermarkByText)) {
        NormalizeField(form, WatermarkText, false);
        if (form.Text(WatermarkText).isEmpty()) {
            return QCoreApplication::translate("corvane", "请填写 水印文字。");
        }
    }
    if (form.IsOn(WatermarkByImage)) {
        NormalizeField(form, WatermarkImagePath, false);
        const QString path = form.Text(WatermarkImagePath);
        if (path.isEmpty() || !PathExists(path)) {
            return QCoreApplication::translate("corvane", "请填写或选择正确的  水印图片的路径。");
        }
    }
    return {};
}

Refusal CheckDirectCopyConflict(const Form& form) {
    constexpr std::array formatBoxes = {FormatAll,  FormatBmp, FormatGif, FormatJpeg,  FormatPng,
                                        FormatTiff, FormatEmf, FormatWmf, SameAsSource};
    for (const ControlId id : formatBoxes) {
        if (form.IsChecked(id)) {
            return {};
        }
    }
    for (const ControlId id : {Rotate, Resize, Cut, Combine, Watermark}) {
        if (form.IsOn(id)) {
            return texts::kNoOperationWhenCopying;
        }
    }
    return {};
}

// A clash text, when its strategy is chosen: it must not be blank, and since it becomes part of
// a file name, a separator or ".." in it would let a name reach outside the output folder ("../"
// as prefix). `what` names it in the messages: 前缀名 or 后缀名.
Refusal CheckClashText(const Form& form, ControlId radio, ControlId field, const QString& what) {
    if (!form.IsChecked(radio)) {
        return {};
    }
    const QString text = form.Text(field).trimmed();
    if (text.isEmpty()) {
        return QCoreApplication::translate("corvane", "请填写 文件重名时 添加的%1。").arg(what);
    }
    if (text.contains(kSeparator) || text.contains(u'/') || text.contains(QStringLiteral(".."))) {
        return QCoreApplication::translate(
                   "corvane", "请填写 文件重名时 添加的%1，并且%1不能含有路径分隔符或“..”。")
            .arg(what);
    }
    return {};
}

Refusal CheckNaming(Form& form) {
    if (Refusal r = CheckClashText(form, ClashPrefix, ClashPrefixText,
                                   QCoreApplication::translate("corvane", "前缀名"))) {
        return r;
    }
    if (Refusal r = CheckClashText(form, ClashSuffix, ClashSuffixText,
                                   QCoreApplication::translate("corvane", "后缀名"))) {
        return r;
    }
    if (!form.IsChecked(ClashPrefix) && !form.IsChecked(ClashSuffix) &&
        !form.IsChecked(ClashOverwrite)) {
        return QCoreApplication::translate("corvane", "请选择 文件重名时 的操作策略。");
    }
    if (form.IsEnabled(NameLengthLimit)) {
        NormalizeField(form, NameLengthLimit, true);
        const bool ok = CheckPositiveNumber(form, NameLengthLimit, false);
        const int n = ParseLeadingInt(form.Text(NameLengthLimit));
        if (!ok || n < kNameLengthMin || n > kNameLengthMax) {
            return QCoreApplication::translate("corvane",
                                               "文件名长度限制数字应该在 %1 到 %2 之间。")
                .arg(kNameLengthMin)
                .arg(kNameLengthMax);
        }
    }
    return {};
}

// Loads the watermark picture or takes the text; the previous picture is released first.
Refusal PrepareWatermark(const Form& form, const ImageProcessor& processor,
                         WatermarkSettings& watermark) {
    watermark = {};
    if (!form.IsOn(Watermark)) {
        return {};
    }
    watermark.on = true;
    if (form.IsChecked(WatermarkByText)) {
        watermark.text = form.Text(WatermarkText);
    }
    if (form.IsChecked(WatermarkByImage)) {
        BitmapPtr picture = processor.LoadImage(form.Text(WatermarkImagePath));
        if (!IsUsable(picture.get())) {
            watermark = {};
            return QCoreApplication::translate(
                "corvane",
                "水印图片不是有效的图片，或者水印图片的图像格式目前不能识别。请重新指定水印图片的路"
                "径。");
        }
        watermark.picture = std::move(picture);
    }
    return {};
}

// A folder field is trimmed only when its text as typed names nothing: a folder's name may end
// in a blank.
void NormalizeFolderField(Form& form, ControlId id) {
    form.SetText(id, TrimUnlessExisting(form.Text(id)));
}

Refusal Validate(Form& form, const ImageProcessor& processor, WatermarkSettings& watermark,
                 bool batchOnlyFormats) {
    NormalizeFolderField(form, SourcePath);
    NormalizeFolderField(form, SavePath);
    const QString source = form.Text(SourcePath);
    QString target = form.Text(SavePath);
    // A single source must be a folder the run can list: a device, a pipe, a dangling link or a
    // folder without read permission would otherwise be taken and end the run as stopped
    // instead of being refused.
    const bool singlePath = !form.IsChecked(MultiPathRadio);
    if (source.isEmpty() || !PathExists(source) ||
        (singlePath && !DirectoryReader(source).IsOpen())) {
        return QCoreApplication::translate("corvane", "请填写或选择正确的  打开路径。");
    }
    for (Refusal (*check)(Form&) :
         {CheckRotation, CheckResize, CheckCutAndCombine, CheckWatermarkFields}) {
        if (Refusal r = check(form)) {
            return r;
        }
    }
    if (Refusal r = batchOnlyFormats ? Refusal() : CheckDirectCopyConflict(form)) {
        return r;
    }
    if (target.isEmpty() || !PathExists(target)) {
        return QCoreApplication::translate("corvane", "请填写或选择正确的  保存路径。");
    }
    if (Refusal r = CheckNaming(form)) {
        return r;
    }
    if (!CreateFolderChain(target)) {
        return QCoreApplication::translate(
            "corvane", "创建保存路径失败，请检查保存路径及确认磁盘状况，或者稍候重试。");
    }
    return PrepareWatermark(form, processor, watermark);
}

}  // namespace

void NormalizeField(Form& form, ControlId id, bool stripSpaces) {
    QString text = form.Text(id).trimmed();
    if (stripSpaces) {
        text.remove(u' ');
    }
    form.SetText(id, text);
}

bool CheckPositiveNumber(const Form& form, ControlId id, bool allowFraction) {
    if (!form.IsEnabled(id)) {
        return true;
    }
    const QString text = form.Text(id).trimmed();
    const double value = ParseLeadingReal(text);
    // Checked as what it is used as: a real number must be one (not infinity), a whole number
    // must fit the 32-bit number it is read into.
    if (!(value > 0) || !std::isfinite(value)) {
        return false;
    }
    return allowFraction || (IsWholeNumberText(text) && value <= INT_MAX);
}

bool ValidateInputs(Form& form, const ImageProcessor& processor, WatermarkSettings& watermark,
                    QString* message, bool batchOnlyFormats) {
    const Refusal refusal = Validate(form, processor, watermark, batchOnlyFormats);
    if (refusal && message != nullptr) {
        *message = *refusal;
    }
    return !refusal;
}

}  // namespace corvane
