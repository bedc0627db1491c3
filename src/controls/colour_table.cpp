#include "controls/colour_table.h"

namespace corvane {

QColor ToQColor(ColourRef colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

ColourRef FromQColor(QColor colour) {
    return Rgb(colour.red(), colour.green(), colour.blue());
}

const std::array<NamedColour, kColourCount>& ColourTable() {
    static const std::array<NamedColour, kColourCount> table = {{
        {Rgb(0, 0, 0), "黑色"},         {Rgb(165, 42, 0), "棕色"},
        {Rgb(0, 64, 64), "深橄榄绿"},   {Rgb(0, 85, 0), "深绿"},
        {Rgb(0, 0, 94), "深蓝绿"},      {Rgb(0, 0, 139), "深蓝"},
        {Rgb(75, 0, 130), "紫蓝"},      {Rgb(40, 40, 40), "深灰"},
        {Rgb(139, 0, 0), "深红"},       {Rgb(255, 104, 32), "橙色"},
        {Rgb(139, 139, 0), "深黄"},     {Rgb(0, 147, 0), "绿色"},
        {Rgb(56, 142, 142), "蓝绿"},    {Rgb(0, 0, 255), "蓝色"},
        {Rgb(123, 123, 192), "蓝灰"},   {Rgb(102, 102, 102), "灰色"},
        {Rgb(255, 0, 0), "红色"},       {Rgb(255, 173, 91), "浅橙色"},
        {Rgb(50, 205, 50), "石灰"},     {Rgb(60, 179, 113), "海绿"},
        {Rgb(127, 255, 212), "碧绿"},   {Rgb(125, 158, 192), "浅蓝"},
        {Rgb(128, 0, 128), "紫罗兰"},   {Rgb(127, 127, 127), "淡灰"},
        {Rgb(255, 192, 203), "粉色"},   {Rgb(255, 215, 0), "金黄"},
        {Rgb(255, 255, 0), "黄色"},     {Rgb(0, 255, 0), "亮绿"},
        {Rgb(64, 224, 208), "蓝玉"},    {Rgb(192, 255, 255), "天蓝"},
        {Rgb(72, 0, 72), "李子"},       {Rgb(192, 192, 192), "淡淡灰"},
        {Rgb(255, 228, 225), "玫瑰"},   {Rgb(210, 180, 140), "黄褐色"},
        {Rgb(255, 255, 224), "浅黄"},   {Rgb(152, 251, 152), "淡绿"},
        {Rgb(175, 238, 238), "淡蓝玉"}, {Rgb(104, 131, 139), "淡蓝"},
        {Rgb(230, 230, 250), "淡紫"},   {Rgb(255, 255, 255), "白色"},
    }};
    return table;
}

QString ColourName(int index) {
    return QString::fromUtf8(ColourTable().at(std::size_t(index)).name);
}

int FindColourCell(ColourRef colour) {
    const auto& table = ColourTable();
    for (int i = 0; i < kColourCount; ++i) {
        if (table[std::size_t(i)].colour == colour) {
            return i;
        }
    }
    return -1;
}

}  // namespace corvane
