#include "controls/colour_table.h"

#include <QCoreApplication>

namespace corvane {

QColor ToQColor(ColourRef colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

ColourRef FromQColor(QColor colour) {
    return Rgb(colour.red(), colour.green(), colour.blue());
}

const std::array<NamedColour, kColourCount>& ColourTable() {
    static const std::array<NamedColour, kColourCount> table = {{
        {Rgb(0, 0, 0), QT_TRANSLATE_NOOP("corvane", "黑色")},
        {Rgb(165, 42, 0), QT_TRANSLATE_NOOP("corvane", "棕色")},
        {Rgb(0, 64, 64), QT_TRANSLATE_NOOP("corvane", "深橄榄绿")},
        {Rgb(0, 85, 0), QT_TRANSLATE_NOOP("corvane", "深绿")},
        {Rgb(0, 0, 94), QT_TRANSLATE_NOOP("corvane", "深蓝绿")},
        {Rgb(0, 0, 139), QT_TRANSLATE_NOOP("corvane", "深蓝")},
        {Rgb(75, 0, 130), QT_TRANSLATE_NOOP("corvane", "紫蓝")},
        {Rgb(40, 40, 40), QT_TRANSLATE_NOOP("corvane", "深灰")},
        {Rgb(139, 0, 0), QT_TRANSLATE_NOOP("corvane", "深红")},
        {Rgb(255, 104, 32), QT_TRANSLATE_NOOP("corvane", "橙色")},
        {Rgb(139, 139, 0), QT_TRANSLATE_NOOP("corvane", "深黄")},
        {Rgb(0, 147, 0), QT_TRANSLATE_NOOP("corvane", "绿色")},
        {Rgb(56, 142, 142), QT_TRANSLATE_NOOP("corvane", "蓝绿")},
        {Rgb(0, 0, 255), QT_TRANSLATE_NOOP("corvane", "蓝色")},
        {Rgb(123, 123, 192), QT_TRANSLATE_NOOP("corvane", "蓝灰")},
        {Rgb(102, 102, 102), QT_TRANSLATE_NOOP("corvane", "灰色")},
        {Rgb(255, 0, 0), QT_TRANSLATE_NOOP("corvane", "红色")},
        {Rgb(255, 173, 91), QT_TRANSLATE_NOOP("corvane", "浅橙色")},
        {Rgb(50, 205, 50), QT_TRANSLATE_NOOP("corvane", "石灰")},
        {Rgb(60, 179, 113), QT_TRANSLATE_NOOP("corvane", "海绿")},
        {Rgb(127, 255, 212), QT_TRANSLATE_NOOP("corvane", "碧绿")},
        {Rgb(125, 158, 192), QT_TRANSLATE_NOOP("corvane", "浅蓝")},
        {Rgb(128, 0, 128), QT_TRANSLATE_NOOP("corvane", "紫罗兰")},
        {Rgb(127, 127, 127), QT_TRANSLATE_NOOP("corvane", "淡灰")},
        {Rgb(255, 192, 203), QT_TRANSLATE_NOOP("corvane", "粉色")},
        {Rgb(255, 215, 0), QT_TRANSLATE_NOOP("corvane", "金黄")},
        {Rgb(255, 255, 0), QT_TRANSLATE_NOOP("corvane", "黄色")},
        {Rgb(0, 255, 0), QT_TRANSLATE_NOOP("corvane", "亮绿")},
        {Rgb(64, 224, 208), QT_TRANSLATE_NOOP("corvane", "蓝玉")},
        {Rgb(192, 255, 255), QT_TRANSLATE_NOOP("corvane", "天蓝")},
        {Rgb(72, 0, 72), QT_TRANSLATE_NOOP("corvane", "李子")},
        {Rgb(192, 192, 192), QT_TRANSLATE_NOOP("corvane", "淡淡灰")},
        {Rgb(255, 228, 225), QT_TRANSLATE_NOOP("corvane", "玫瑰")},
        {Rgb(210, 180, 140), QT_TRANSLATE_NOOP("corvane", "黄褐色")},
        {Rgb(255, 255, 224), QT_TRANSLATE_NOOP("corvane", "浅黄")},
        {Rgb(152, 251, 152), QT_TRANSLATE_NOOP("corvane", "淡绿")},
        {Rgb(175, 238, 238), QT_TRANSLATE_NOOP("corvane", "淡蓝玉")},
        {Rgb(104, 131, 139), QT_TRANSLATE_NOOP("corvane", "淡蓝")},
        {Rgb(230, 230, 250), QT_TRANSLATE_NOOP("corvane", "淡紫")},
        {Rgb(255, 255, 255), QT_TRANSLATE_NOOP("corvane", "白色")},
    }};
    return table;
}

QString ColourName(int index) {
    return QCoreApplication::translate("corvane", ColourTable().at(std::size_t(index)).name);
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
