#include "ui/main_template.h"

#include <QtGlobal>

#include <initializer_list>

namespace corvane {
namespace {

using enum ControlId;
using K = ControlKind;

struct Cell {
    ControlId id;
    ControlKind kind;
    const char* caption;  // UTF-8
    int width;
    int gap = 3;            // dialog units before this cell
    const char* name = "";  // accessible name of a field
    int radioSet = 0;
};

class TemplateBuilder {
public:
    void Add(ControlId id, ControlKind kind, const char* caption, QRect units,
             const char* name = "", int radioSet = 0) {
        controls_.push_back(
            {id, kind, QString::fromUtf8(caption), units, QString::fromUtf8(name), radioSet});
    }
    // Cells left to right from x, the first one without its gap.
    void Row(int x, int y, int height, std::initializer_list<Cell> cells) {
        bool first = true;
        for (const Cell& cell : cells) {
            x += first ? 0 : cell.gap;
            first = false;
            Add(cell.id, cell.kind, cell.caption, QRect(x, y, cell.width, height), cell.name,
                cell.radioSet);
            x += cell.width;
        }
    }
    std::vector<ControlTemplate> Take() { return std::move(controls_); }

private:
    std::vector<ControlTemplate> controls_;
};

// Rows inside the groups; a group's title takes its first 11 units.
constexpr int kLeft = 18;
constexpr int kRowHeight = 13;
constexpr int kOperationRowHeight = 11;

void AddHeader(TemplateBuilder& t) {
    t.Add(IntroductionButton, K::IconButton, QT_TRANSLATE_NOOP("corvane", "详细介绍"),
          {11, 7, 58, 19});
    t.Add(ContactLink, K::Link, "", {300, 11, 133, 11});
}

void AddSourceGroup(TemplateBuilder& t) {
    t.Add(SourceGroup, K::Group, QT_TRANSLATE_NOOP("corvane", "打开"), {12, 35, 421, 45});
    t.Row(kLeft, 47, kRowHeight,
          {{SinglePathRadio, K::Radio, QT_TRANSLATE_NOOP("corvane", "单路径"), 38, 3, "", 1},
           {SourcePath, K::Edit, "", 176, 3, QT_TRANSLATE_NOOP("corvane", "打开路径")},
           {BrowseSource, K::Push, QT_TRANSLATE_NOOP("corvane", "选择..."), 34},
           {OpenSourceCurrent, K::Push, QT_TRANSLATE_NOOP("corvane", "打开当前"), 44},
           {OpenSourceParent, K::Push, QT_TRANSLATE_NOOP("corvane", "打开上层"), 44},
           {IncludeSubfolders, K::Check, QT_TRANSLATE_NOOP("corvane", "包含子文件夹"), 60}});
    t.Row(kLeft, 63, kRowHeight,
          {{MultiPathRadio, K::Radio, QT_TRANSLATE_NOOP("corvane", "多路径"), 38, 3, "", 1},
           {AddSelection, K::Push, QT_TRANSLATE_NOOP("corvane", "添加"), 40},
           {MultiIncludeSubfolders, K::Check, QT_TRANSLATE_NOOP("corvane", "包含子文件夹"), 60},
           {ClearSelection, K::Push, QT_TRANSLATE_NOOP("corvane", "清空"), 40},
           {ViewSelection, K::Push, QT_TRANSLATE_NOOP("corvane", "查看"), 40},
           {SelectionCounts, K::Label, "", 164}});
}

void AddRotate(TemplateBuilder& t, int x) {
    const int h = kOperationRowHeight;
    t.Row(x, 94, h, {{Rotate, K::Check, QT_TRANSLATE_NOOP("corvane", "旋转"), 32}});
    t.Row(x, 105, h,
          {{Rotate90, K::Radio, QT_TRANSLATE_NOOP("corvane", "顺时针   90 度"), 62, 3, "", 2}});
    t.Row(x, 116, h,
          {{Rotate180, K::Radio, QT_TRANSLATE_NOOP("corvane", "顺时针 180 度"), 62, 3, "", 2}});
    t.Row(x, 127, h,
          {{Rotate270, K::Radio, QT_TRANSLATE_NOOP("corvane", "顺时针 270 度"), 62, 3, "", 2}});
    t.Row(x, 138, h,
          {{RotateCustom, K::Radio, QT_TRANSLATE_NOOP("corvane", "顺时针"), 37, 3, "", 2},
           {RotateAngle, K::Edit, "", 24, 1, QT_TRANSLATE_NOOP("corvane", "顺时针 角度")},
           {RotateAngleUnit, K::Label, QT_TRANSLATE_NOOP("corvane", "度"), 8, 1},
           {RotateBackground, K::ColourButton, QT_TRANSLATE_NOOP("corvane", "背景色"), 37, 2}});
}

void AddResize(TemplateBuilder& t, int x) {
    const int h = kOperationRowHeight;
    t.Row(x, 94, h, {{Resize, K::Check, QT_TRANSLATE_NOOP("corvane", "缩放"), 32}});
    t.Row(x, 105, h,
          {{ResizeByRatio, K::Radio, QT_TRANSLATE_NOOP("corvane", "按比例"), 38, 3, "", 3},
           {ResizeRatio, K::Edit, "", 24, 2, QT_TRANSLATE_NOOP("corvane", "缩放比例数")}});
    t.Row(x, 116, h,
          {{ResizeBySize, K::Radio, QT_TRANSLATE_NOOP("corvane", "按尺寸"), 38, 3, "", 3}});
    t.Row(x + 4, 127, h,
          {{ResizeWidth, K::Edit, "", 22, 0, QT_TRANSLATE_NOOP("corvane", "图像缩放 宽度")},
           {ResizeSizeSeparator, K::Label, "X", 6, 1},
           {ResizeHeight, K::Edit, "", 22, 1, QT_TRANSLATE_NOOP("corvane", "图像缩放 高度")}});
    t.Row(x, 138, h,
          {{ResizeByLongEdge, K::Radio, QT_TRANSLATE_NOOP("corvane", "大边约束"), 46, 3, "", 3},
           {LongEdgeLimit, K::Edit, "", 22, 2, QT_TRANSLATE_NOOP("corvane", "大边约束 数值")}});
}

void AddCut(TemplateBuilder& t, int x) {
    const int h = kOperationRowHeight;
    t.Row(x, 94, h, {{Cut, K::Check, QT_TRANSLATE_NOOP("corvane", "切割"), 32}});
    t.Row(x, 105, h,
          {{CutByCount, K::Radio, QT_TRANSLATE_NOOP("corvane", "按块数"), 38, 3, "", 4}});
    t.Row(x + 4, 116, h,
          {{CutColumns, K::Edit, "", 18, 0, QT_TRANSLATE_NOOP("corvane", "图像切割 水平模块数")},
           {CutCountSeparator, K::Label, "X", 6, 1},
           {CutRows, K::Edit, "", 18, 1, QT_TRANSLATE_NOOP("corvane", "图像切割 垂直模块数")}});
    t.Row(x, 127, h,
          {{CutByCellSize, K::Radio, QT_TRANSLATE_NOOP("corvane", "按尺寸"), 38, 3, "", 4}});
    t.Row(x + 4, 138, h,
          {{CellWidth, K::Edit, "", 18, 0, QT_TRANSLATE_NOOP("corvane", "图像切割 单元格的宽")},
           {CellSeparator, K::Label, "X", 6, 1},
           {CellHeight, K::Edit, "", 18, 1, QT_TRANSLATE_NOOP("corvane", "图像切割 单元格的高")}});
}

void AddCombine(TemplateBuilder& t, int x) {
    const int h = kOperationRowHeight;
    t.Row(x, 94, h, {{Combine, K::Check, QT_TRANSLATE_NOOP("corvane", "合并"), 32}});
    t.Row(
        x, 105, h,
        {{CombineColumns, K::Edit, "", 18, 0, QT_TRANSLATE_NOOP("corvane", "图像合并 水平模块数")},
         {CombineSeparator, K::Label, "X", 6, 1},
         {CombineRows, K::Edit, "", 18, 1, QT_TRANSLATE_NOOP("corvane", "图像合并 垂直模块数")}});
    t.Add(CombineNote, K::Label, "", {x, 117, 92, 32});
}

void AddWatermark(TemplateBuilder& t, int x, int right) {
    const int h = kOperationRowHeight;
    t.Row(x, 94, h, {{Watermark, K::Check, QT_TRANSLATE_NOOP("corvane", "加水印"), 38}});
    t.Row(x, 105, h,
          {{WatermarkByText, K::Radio, QT_TRANSLATE_NOOP("corvane", "文字"), 29, 3, "", 5},
           {WatermarkText, K::Edit, "", right - x - 31, 2,
            QT_TRANSLATE_NOOP("corvane", "水印文字")}});
    t.Row(x, 116, h,
          {{WatermarkByImage, K::Radio, QT_TRANSLATE_NOOP("corvane", "图片"), 29, 3, "", 5},
           {BrowseWatermarkImage, K::Push, QT_TRANSLATE_NOOP("corvane", "选择..."), 30, 2}});
    t.Row(x, 127, h,
          {{WatermarkImagePath, K::Edit, "", right - x, 0,
            QT_TRANSLATE_NOOP("corvane", "水印图片的路径")}});
}

void AddOperationsGroup(TemplateBuilder& t) {
    t.Add(OperationsGroup, K::Group, QT_TRANSLATE_NOOP("corvane", "操作"), {12, 82, 421, 69});
    AddRotate(t, 17);
    AddResize(t, 130);
    AddCut(t, 204);
    AddCombine(t, 258);
    AddWatermark(t, 354, 428);
}

void AddSaveGroup(TemplateBuilder& t) {
    t.Add(SaveGroup, K::Group, QT_TRANSLATE_NOOP("corvane", "保存"), {12, 154, 421, 149});
    t.Row(kLeft, 166, kRowHeight,
          {{FormatLabel, K::Label, QT_TRANSLATE_NOOP("corvane", "保存格式"), 28},
           {FormatAll, K::Check, QT_TRANSLATE_NOOP("corvane", "全选"), 29, 2},
           {FormatBmp, K::Check, "BMP", 29, 2},
           {FormatGif, K::Check, "GIF", 26, 2},
           {FormatJpeg, K::Check, "JPEG", 33, 2},
           {FormatPng, K::Check, "PNG", 30, 2},
           {FormatTiff, K::Check, "TIFF", 30, 2},
           {FormatEmf, K::Check, "EMF", 30, 2},
           {FormatWmf, K::Check, "WMF", 33, 2},
           {SameAsSource, K::Check, QT_TRANSLATE_NOOP("corvane", "按原图格式"), 49, 2},
           {DirectCopy, K::Check, QT_TRANSLATE_NOOP("corvane", "按原图直接拷贝"), 62, 2}});
    t.Row(kLeft, 179, kRowHeight,
          {{SavePathLabel, K::Label, QT_TRANSLATE_NOOP("corvane", "保存路径"), 35},
           {SavePath, K::Edit, "", 182, 3, QT_TRANSLATE_NOOP("corvane", "保存路径")},
           {BrowseSave, K::Push, QT_TRANSLATE_NOOP("corvane", "选择..."), 34},
           {OpenSaveCurrent, K::Push, QT_TRANSLATE_NOOP("corvane", "打开当前"), 44},
           {OpenSaveParent, K::Push, QT_TRANSLATE_NOOP("corvane", "打开上层"), 44}});
    t.Row(kLeft, 192, kRowHeight,
          {{CopyFolderStructure, K::Check,
            QT_TRANSLATE_NOOP(
                "corvane",
                "文件夹结构拷贝( 根据打开路径下各个子文件夹层次结构创建相应的保存文件夹 )"),
            300}});
    const int radioX = kLeft + 46;
    t.Row(kLeft, 205, kRowHeight,
          {{ClashLabel, K::Label, QT_TRANSLATE_NOOP("corvane", "文件重名时"), 43},
           {ClashPrefix, K::Radio, QT_TRANSLATE_NOOP("corvane", "加前缀"), 40, 3, "", 6},
           {ClashPrefixText, K::Edit, "", 40, 3, QT_TRANSLATE_NOOP("corvane", "加前缀")},
           {ClashPrefixExample, K::Label, "", 280}});
    t.Row(radioX, 218, kRowHeight,
          {{ClashSuffix, K::Radio, QT_TRANSLATE_NOOP("corvane", "加后缀"), 40, 3, "", 6},
           {ClashSuffixText, K::Edit, "", 40, 3, QT_TRANSLATE_NOOP("corvane", "加后缀")},
           {ClashSuffixExample, K::Label, "", 280}});
    t.Row(radioX, 231, kRowHeight,
          {{ClashOverwrite, K::Radio, QT_TRANSLATE_NOOP("corvane", "直接覆盖"), 50, 3, "", 6}});
    t.Row(kLeft, 244, kRowHeight,
          {{NameLimitLabel, K::Label, QT_TRANSLATE_NOOP("corvane", "限制文件名长度不超过"), 76},
           {NameLengthLimit, K::Edit, "", 24, 3,
            QT_TRANSLATE_NOOP("corvane", "限制文件名长度不超过")},
           {NameLimitRange, K::Label, "", 200}});
    const int foldX = kLeft + 46;
    t.Row(kLeft, 257, kRowHeight,
          {{LongNameLabel, K::Label, QT_TRANSLATE_NOOP("corvane", "文件名超长时"), 43},
           {LongNameFoldPrefix, K::Radio,
            QT_TRANSLATE_NOOP("corvane", "前缀折叠( 折叠后,文件名以 \"_CVN_L_数字_\" 开头 )"), 300,
            3, "", 7}});
    t.Row(foldX, 270, kRowHeight,
          {{LongNameFoldSuffix, K::Radio,
            QT_TRANSLATE_NOOP("corvane", "后缀折叠( 折叠后,文件名以 \"_CVN_L_数字\" 结尾 )"), 300,
            3, "", 7}});
    t.Row(foldX, 283, kRowHeight,
          {{LongNameAbandon, K::Radio,
            QT_TRANSLATE_NOOP("corvane", "放弃存储( 只放弃单个文件存储,不影响其他文件处理 )"), 300,
            3, "", 7}});
}

void AddMessagesGroup(TemplateBuilder& t) {
    t.Add(MessagesGroup, K::Group, QT_TRANSLATE_NOOP("corvane", "提示"), {12, 306, 421, 56});
    const QRect messages{17, 318, 411, 42};
    t.Add(ProgressText, K::Label,
          QT_TRANSLATE_NOOP("corvane", "已完成文件数 / 文件总数   108 / 209"), messages);
    t.Add(ProgressBar, K::Progress, "", messages, QT_TRANSLATE_NOOP("corvane", "进度"));
    t.Add(StatusLine, K::Label, "", messages);
}

void AddRunButtons(TemplateBuilder& t) {
    t.Add(StartButton, K::Push, QT_TRANSLATE_NOOP("corvane", "开  始"), {146, 364, 71, 20});
    t.Add(StopButton, K::Push, QT_TRANSLATE_NOOP("corvane", "停  止"), {226, 364, 71, 20});
}

std::vector<ControlTemplate> Build() {
    TemplateBuilder t;
    AddHeader(t);
    AddSourceGroup(t);
    AddOperationsGroup(t);
    AddSaveGroup(t);
    AddMessagesGroup(t);
    AddRunButtons(t);
    return t.Take();
}

}  // namespace

const std::vector<ControlTemplate>& MainDialogTemplate() {
    static const std::vector<ControlTemplate> controls = Build();
    return controls;
}

bool SharesMessagesRect(ControlId id) {
    return id == ProgressText || id == ProgressBar || id == StatusLine;
}

}  // namespace corvane
