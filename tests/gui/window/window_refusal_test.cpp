// Every refusal of Start: its exact text in red on the status line, the run not started, nothing
// written and nothing else changed (the number fields are only cleaned).
#include "engine/report.h"
#include "support/test_names.h"
#include "window_fixture.h"

#include <QDir>

#include <functional>

namespace corvane::test {
namespace {

using enum ControlId;

struct Refusal {
    const char* name;
    std::function<void(WindowTest&)> arrange;
    const char* message;
};

void ChooseResize(WindowTest& t, ControlId mode) {
    t.Click(Resize);
    t.Click(mode);
}

const Refusal kRefusals[] = {
    {"empty source", [](WindowTest& t) { t.Type(SourcePath, ""); },
     "请填写或选择正确的  打开路径。"},
    {"missing source", [](WindowTest& t) { t.Type(SourcePath, t.tree.Path("gone")); },
     "请填写或选择正确的  打开路径。"},
    {"multi path with a missing source field",
     [](WindowTest& t) {
         t.Type(SourcePath, t.tree.Path("gone"));
         t.Click(MultiPathRadio);
     },
     "请填写或选择正确的  打开路径。"},
    {"ratio 0",
     [](WindowTest& t) {
         ChooseResize(t, ResizeByRatio);
         t.Type(ResizeRatio, "0");
     },
     "请输入大于零的 缩放比例数"},
    {"both sides 0",
     [](WindowTest& t) {
         ChooseResize(t, ResizeBySize);
         t.Type(ResizeWidth, "0");
         t.Type(ResizeHeight, "0");
     },
     "图像缩放的宽高，不能同时为零。"},
    {"width 1.5",
     [](WindowTest& t) {
         ChooseResize(t, ResizeBySize);
         t.Type(ResizeWidth, "1.5");
         t.Type(ResizeHeight, "0");
     },
     "请输入大于-1的 图像缩放 宽度，并且输入数值不能含有小数点。"},
    {"height -5",
     [](WindowTest& t) {
         ChooseResize(t, ResizeBySize);
         t.Type(ResizeWidth, "0");
         t.Type(ResizeHeight, "-5");
     },
     "请输入大于-1的 图像缩放 高度，并且输入数值不能含有小数点。"},
    {"long side not a number",
     [](WindowTest& t) {
         ChooseResize(t, ResizeByLongEdge);
         t.Type(LongEdgeLimit, "abc");
     },
     "请输入大于零的 大边约束 数值。"},
    {"cut columns 1.5",
     [](WindowTest& t) {
         t.Click(Cut);
         t.Type(CutColumns, "1.5");
     },
     "请输入大于零的 图像切割 水平模块数，并且输入数值不能含有小数点。"},
    {"cut rows 01",
     [](WindowTest& t) {
         t.Click(Cut);
         t.Type(CutRows, "01");
     },
     "请输入大于零的 图像切割 垂直模块数，并且输入数值不能含有小数点。"},
    {"cell width 0",
     [](WindowTest& t) {
         t.Click(Cut);
         t.Click(CutByCellSize);
         t.Type(CellWidth, "0");
     },
     "请输入大于零的 图像切割 单元格的宽，并且输入数值不能含有小数点。"},
    {"cell height +3",
     [](WindowTest& t) {
         t.Click(Cut);
         t.Click(CutByCellSize);
         t.Type(CellHeight, "+3");
     },
     "请输入大于零的 图像切割 单元格的高，并且输入数值不能含有小数点。"},
    {"combine columns empty",
     [](WindowTest& t) {
         t.Click(Combine);
         t.Type(CombineColumns, "");
     },
     "请输入大于零的 图像合并 水平模块数，并且输入数值不能含有小数点。"},
    {"combine rows 2x",
     [](WindowTest& t) {
         t.Click(Combine);
         t.Type(CombineRows, "2x");
     },
     "请输入大于零的 图像合并 垂直模块数，并且输入数值不能含有小数点。"},
    {"watermark text blank",
     [](WindowTest& t) {
         t.Click(Watermark);
         t.Type(WatermarkText, "   ");
     },
     "请填写 水印文字。"},
    {"watermark picture missing",
     [](WindowTest& t) {
         t.Click(Watermark);
         t.Click(WatermarkByImage);
         t.Type(WatermarkImagePath, t.tree.Path("gone.png"));
     },
     "请填写或选择正确的  水印图片的路径。"},
    {"operation without a format",
     [](WindowTest& t) {
         t.Click(FormatPng);
         t.Click(Rotate);
     },
     "直接拷贝模式下，不允许勾选任何操作（包括旋转，缩放，切割，合并，加水印）。"},
    {"missing save folder", [](WindowTest& t) { t.Type(SavePath, t.tree.Path("nowhere")); },
     "请填写或选择正确的  保存路径。"},
    {"prefix blank", [](WindowTest& t) { t.Type(ClashPrefixText, "  "); },
     "请填写 文件重名时 添加的前缀名。"},
    {"suffix blank",
     [](WindowTest& t) {
         t.Click(ClashSuffix);
         t.Type(ClashSuffixText, "");
     },
     "请填写 文件重名时 添加的后缀名。"},
    {"name length 19", [](WindowTest& t) { t.Type(NameLengthLimit, "19"); },
     "文件名长度限制数字应该在 20 到 218 之间。"},
    {"name length 219", [](WindowTest& t) { t.Type(NameLengthLimit, "219"); },
     "文件名长度限制数字应该在 20 到 218 之间。"},
    {"save folder that cannot be made",
     [](WindowTest& t) { t.Type(SavePath, t.tree.WriteFile("a-file", "x")); },
     "创建保存路径失败，请检查保存路径及确认磁盘状况，或者稍候重试。"},
    {"watermark picture that is no picture",
     [](WindowTest& t) {
         t.Click(Watermark);
         t.Click(WatermarkByImage);
         t.Type(WatermarkImagePath, t.tree.WriteFile("fake.png", "not a picture"));
     },
     "水印图片不是有效的图片，或者水印图片的图像格式目前不能识别。请重新指定水印图片的路径。"},
};

// What a refusal must leave as it was.
struct Snapshot {
    std::map<ControlId, bool> enabled;
    std::map<ControlId, bool> checked;
    QString start;

    static Snapshot Of(const CDialogMain& d) {
        Snapshot s;
        for (int id = 1000; id < 1130; ++id) {
            const auto control = static_cast<ControlId>(id);
            if (d.Control(control) != nullptr) {
                s.enabled[control] = d.IsEnabled(control);
                s.checked[control] = d.IsChecked(control);
            }
        }
        s.start = d.Text(StartButton);
        return s;
    }
    bool operator==(const Snapshot&) const = default;
};

class WindowRefusal : public WindowTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(WindowRefusal, ShowsItsTextInRedAndChangesNothing) {
    Open();
    GetParam().arrange(*this);
    const Snapshot before = Snapshot::Of(*dialog);
    Click(StartButton);
    EXPECT_EQ(dialog->Text(StatusLine), QString::fromUtf8(GetParam().message));
    EXPECT_EQ(dialog->StatusColour(), colours::kRed);
    EXPECT_EQ(dialog->Run().State(), RunState::Idle);
    EXPECT_FALSE(dialog->Run().HasWorker());
    EXPECT_TRUE(Snapshot::Of(*dialog) == before);
    EXPECT_TRUE(Outputs().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Start, WindowRefusal, ::testing::ValuesIn(kRefusals), kRowName);

TEST_F(WindowTest, StartCleansTheNumberFieldsItReaches) {
    Open();
    Click(Resize);
    Click(ResizeBySize);
    Type(ResizeWidth, " 1 0 ");
    Type(ResizeHeight, "0");
    Type(NameLengthLimit, "19");
    Click(StartButton);
    EXPECT_EQ(dialog->Text(StatusLine),
              QStringLiteral("文件名长度限制数字应该在 20 到 218 之间。"));
    EXPECT_EQ(dialog->Text(ResizeWidth), QStringLiteral("10"));
}

}  // namespace
}  // namespace corvane::test
