#include "ui/introduction_text.h"

#include <QCoreApplication>
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
        QCoreApplication::translate("corvane", "当前版本：%1 %2")
            .arg(ProductName(), ProductVersion()),
        QCoreApplication::translate("corvane", "联系邮箱：%1").arg(ContactAddress()),
        QString(),
        QCoreApplication::translate("corvane",
                                    " %1 是一款免费的图片处理软件，尤其擅长一次处理大量图片。")
            .arg(ProductName()),
        QCoreApplication::translate("corvane", " 支持批量格式转化；"),
        QCoreApplication::translate("corvane", " 支持批量旋转图片，支持任意旋转角度；"),
        QCoreApplication::translate("corvane", " 支持批量缩放图片，可定制缩放大小，缩放比例；"),
        QCoreApplication::translate("corvane", " 支持批量图形切割，可根据块数或者尺寸进行切割；"),
        QCoreApplication::translate("corvane",
                                    " 支持批量图形合并，支持合并方向选择，支持按数目合并；"),
        QCoreApplication::translate("corvane", " 支持批量加水印：支持水印文字和水印图片。"),
        QCoreApplication::translate(
            "corvane",
            " 支持批量另存：如果保存格式一个都不选，默认只拷贝另存图片文件本身。"
            "可以和“文件夹结构拷贝”配合使用。"),
        QCoreApplication::translate(
            "corvane", " 支持多种操作组合，各种操作的优先次序为：旋转->缩放->切割->合并。"),
        QCoreApplication::translate("corvane", " 支持多路径选择：可以同时选择多个文件和文件夹；"),
        QCoreApplication::translate("corvane",
                                    " 支持的读取格式：BMP，JPEG，PNG，GIF，TIFF，EMF，WMF；"),
        QCoreApplication::translate("corvane",
                                    " 支持的保存格式：BMP，JPEG，PNG，GIF，TIFF，EMF，WMF；"),
        QCoreApplication::translate("corvane", " 支持同时保存成多种格式的图片；"),
        QCoreApplication::translate("corvane", " 支持文件夹结构拷贝；"),
        QCoreApplication::translate("corvane", " 支持超长文件名处理；"),
        QCoreApplication::translate(
            "corvane",
            " 支持文件重名时候的定制操作：添加文件名前缀；添加文件名后缀；或者直接覆盖重名文件；"),
    };
}

QStringList FeaturesUsageAndLatest() {
    return {
        QCoreApplication::translate(
            "corvane", " 自动识别源文件夹下的所有文件，包括隐藏文件和所有子文件夹，一次批量处理；"),
        QCoreApplication::translate("corvane", " 处理过程中可以暂停和停止；"),
        QCoreApplication::translate("corvane", " 高保真，速度快；"),
        QCoreApplication::translate("corvane", " 小巧绿色，无需安装。"),
        QString(),
        QCoreApplication::translate("corvane", "使用说明："),
        QCoreApplication::translate("corvane", " 按回车键开始或暂停处理，按 Esc 键停止处理。"),
        QString(),
        QCoreApplication::translate("corvane", "最近更新："),
        QCoreApplication::translate("corvane", "%1 版：").arg(ProductVersion()),
        QCoreApplication::translate("corvane", " 缩放设置更加清晰；"),
        QCoreApplication::translate("corvane", " 按尺寸缩放时允许宽或高填 0，按原图比例计算；"),
        QCoreApplication::translate("corvane", " 新增长边约束：只限制宽高中较大的一边；"),
        QCoreApplication::translate("corvane", " 切割选项中去掉了颜色框；"),
        QCoreApplication::translate("corvane",
                                    " 合并更简单，两个方向都支持，文件顺序按文件名的自然顺序；"),
        QCoreApplication::translate("corvane", " 新增“按原图格式”和“按原图直接拷贝”两种保存方式；"),
        QCoreApplication::translate("corvane", " 修正了一些小问题。"),
    };
}

QStringList EarlierVersions() {
    return {
        QString(),
        QCoreApplication::translate("corvane", "2.1.0 版："),
        QCoreApplication::translate("corvane", " 新增水印功能；"),
        QCoreApplication::translate("corvane", " 新增只拷贝另存功能；"),
        QCoreApplication::translate("corvane", " 新增提示信息；"),
        QCoreApplication::translate("corvane", " 缩放比例支持小数；"),
        QCoreApplication::translate("corvane", " 支持旋转 0 度；"),
        QCoreApplication::translate("corvane", " 修正了一些问题。"),
        QString(),
        QCoreApplication::translate("corvane", "2.0.9 版："),
        QCoreApplication::translate("corvane", " 调整了合并顺序；"),
        QCoreApplication::translate("corvane", " 支持按尺寸切割；"),
        QCoreApplication::translate("corvane", " 支持按数目合并；"),
        QCoreApplication::translate("corvane", " 支持先切割再合并；"),
        QCoreApplication::translate("corvane", " 支持任意角度旋转，可以选择背景色。"),
        QString(),
        QCoreApplication::translate("corvane", "2.0.8 版："),
        QCoreApplication::translate("corvane", " 操作的次序固定为旋转、缩放、切割或合并；"),
        QCoreApplication::translate("corvane", " 兼容性更好，程序更小；"),
        QCoreApplication::translate("corvane", " 修正了一些问题。"),
        QString(),
        QCoreApplication::translate("corvane", "2.0.2 版："),
        QCoreApplication::translate("corvane", " 新增合并功能；"),
        QCoreApplication::translate("corvane", " 新增切割功能；"),
        QCoreApplication::translate("corvane", " 新增多路径选择；"),
        QCoreApplication::translate("corvane", " 支持较新的 Windows 版本。"),
    };
}

QStringList FirstVersions() {
    return {
        QString(),
        QCoreApplication::translate("corvane", "2.0.1 版："),
        QCoreApplication::translate("corvane", " 新增 EMF 和 WMF 格式输出；"),
        QCoreApplication::translate("corvane", " 无损旋转更快；"),
        QCoreApplication::translate("corvane", " 旋转角度改用单选按钮选择；"),
        QCoreApplication::translate("corvane", " 新增“打开上层”按钮；"),
        QCoreApplication::translate("corvane", " 修正了一些问题。"),
        QString(),
        QCoreApplication::translate("corvane", "1.0.3 版："),
        QCoreApplication::translate("corvane", " 每个路径只打开一个资源管理器窗口；"),
        QCoreApplication::translate("corvane", " 修正了计数问题；"),
        QCoreApplication::translate("corvane", " 前缀和后缀两边的空格不再使用。"),
        QString(),
        QCoreApplication::translate("corvane", "1.0 Alpha 版："),
        QCoreApplication::translate("corvane", " 批量格式转化。"),
    };
}

}  // namespace

QString IntroductionText() {
    return (Header() + FeaturesUsageAndLatest() + EarlierVersions() + FirstVersions()).join(u'\n');
}

}  // namespace corvane
