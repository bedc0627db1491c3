#include "ui/introduction_text.h"

#include <QStringList>

namespace corvane {

QString ProductName() {
    return QStringLiteral(CORVANE_PRODUCT_NAME);
}

QString ProductVersion() {
    return QStringLiteral(CORVANE_VERSION);
}

QString ContactAddress() {
    return QStringLiteral("corvane@example.org");
}

QString ContactMailTarget() {
    return QStringLiteral("mailto:") + ContactAddress();
}

namespace {

QStringList Header() {
    return {
        QStringLiteral("当前版本：%1 %2").arg(ProductName(), ProductVersion()),
        QStringLiteral("联系邮箱：%1").arg(ContactAddress()),
        QString(),
        QStringLiteral(" %1 是一款免费的图片处理软件，尤其擅长一次处理大量图片。")
            .arg(ProductName()),
        QStringLiteral(" 支持批量格式转化；"),
        QStringLiteral(" 支持批量旋转图片，支持任意旋转角度；"),
        QStringLiteral(" 支持批量缩放图片，可定制缩放大小，缩放比例；"),
        QStringLiteral(" 支持批量图形切割，可根据块数或者尺寸进行切割；"),
        QStringLiteral(" 支持批量图形合并，支持合并方向选择，支持按数目合并；"),
        QStringLiteral(" 支持批量加水印：支持水印文字和水印图片。"),
        QStringLiteral(" 支持批量另存：如果保存格式一个都不选，默认只拷贝另存图片文件本身。"
                       "可以和“文件夹结构拷贝”配合使用。"),
        QStringLiteral(" 支持多种操作组合，各种操作的优先次序为：旋转->缩放->切割->合并。"),
        QStringLiteral(" 支持多路径选择：可以同时选择多个文件和文件夹；"),
        QStringLiteral(" 支持的读取格式：BMP，JPEG，PNG，GIF，TIFF，EMF，WMF；"),
        QStringLiteral(" 支持的保存格式：BMP，JPEG，PNG，GIF，TIFF，EMF，WMF；"),
        QStringLiteral(" 支持同时保存成多种格式的图片；"),
        QStringLiteral(" 支持文件夹结构拷贝；"),
        QStringLiteral(" 支持超长文件名处理；"),
        QStringLiteral(
            " 支持文件重名时候的定制操作：添加文件名前缀；添加文件名后缀；或者直接覆盖重名文件；"),
    };
}

QStringList FeaturesUsageAndLatest() {
    return {
        QStringLiteral(" 自动识别源文件夹下的所有文件，包括隐藏文件和所有子文件夹，一次批量处理；"),
        QStringLiteral(" 处理过程中可以暂停和停止；"),
        QStringLiteral(" 高保真，速度快；"),
        QStringLiteral(" 小巧绿色，无需安装。"),
        QString(),
        QStringLiteral("使用说明："),
        QStringLiteral(" 按回车键开始或暂停处理，按 Esc 键停止处理。"),
        QString(),
        QStringLiteral("最近更新："),
        QStringLiteral("%1 版：").arg(ProductVersion()),
        QStringLiteral(" 缩放设置更加清晰；"),
        QStringLiteral(" 按尺寸缩放时允许宽或高填 0，按原图比例计算；"),
        QStringLiteral(" 新增长边约束：只限制宽高中较大的一边；"),
        QStringLiteral(" 切割选项中去掉了颜色框；"),
        QStringLiteral(" 合并更简单，两个方向都支持，文件顺序按文件名的自然顺序；"),
        QStringLiteral(" 新增“按原图格式”和“按原图直接拷贝”两种保存方式；"),
        QStringLiteral(" 修正了一些小问题。"),
    };
}

QStringList EarlierVersions() {
    return {
        QString(),
        QStringLiteral("2.1.0 版："),
        QStringLiteral(" 新增水印功能；"),
        QStringLiteral(" 新增只拷贝另存功能；"),
        QStringLiteral(" 新增提示信息；"),
        QStringLiteral(" 缩放比例支持小数；"),
        QStringLiteral(" 支持旋转 0 度；"),
        QStringLiteral(" 修正了一些问题。"),
        QString(),
        QStringLiteral("2.0.9 版："),
        QStringLiteral(" 调整了合并顺序；"),
        QStringLiteral(" 支持按尺寸切割；"),
        QStringLiteral(" 支持按数目合并；"),
        QStringLiteral(" 支持先切割再合并；"),
        QStringLiteral(" 支持任意角度旋转，可以选择背景色。"),
        QString(),
        QStringLiteral("2.0.8 版："),
        QStringLiteral(" 操作的次序固定为旋转、缩放、切割或合并；"),
        QStringLiteral(" 兼容性更好，程序更小；"),
        QStringLiteral(" 修正了一些问题。"),
        QString(),
        QStringLiteral("2.0.2 版："),
        QStringLiteral(" 新增合并功能；"),
        QStringLiteral(" 新增切割功能；"),
        QStringLiteral(" 新增多路径选择；"),
        QStringLiteral(" 支持较新的 Windows 版本。"),
    };
}

QStringList FirstVersions() {
    return {
        QString(),
        QStringLiteral("2.0.1 版："),
        QStringLiteral(" 新增 EMF 和 WMF 格式输出；"),
        QStringLiteral(" 无损旋转更快；"),
        QStringLiteral(" 旋转角度改用单选按钮选择；"),
        QStringLiteral(" 新增“打开上层”按钮；"),
        QStringLiteral(" 修正了一些问题。"),
        QString(),
        QStringLiteral("1.0.3 版："),
        QStringLiteral(" 每个路径只打开一个资源管理器窗口；"),
        QStringLiteral(" 修正了计数问题；"),
        QStringLiteral(" 前缀和后缀两边的空格不再使用。"),
        QString(),
        QStringLiteral("1.0 Alpha 版："),
        QStringLiteral(" 批量格式转化。"),
    };
}

}  // namespace

QString IntroductionText() {
    return (Header() + FeaturesUsageAndLatest() + EarlierVersions() + FirstVersions()).join(u'\n');
}

}  // namespace corvane
