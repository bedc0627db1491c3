#include "imaging/output_format.h"
#include "picture_dialog.h"
#include "platform/file_system.h"
#include "selection/choosers.h"

#include <QCoreApplication>
#include <QFile>

namespace corvane {
namespace {

struct FilterChoice {
    const char* description;  // UTF-8, translated where it is shown
    const char16_t* patterns;
};

// Upper and lower case are both listed, as the filter texts show them; the match ignores case
// anyway.
// The first choice lists every picture the loader reads (null here: ReadablePictureExtensions).
constexpr FilterChoice kPictureFilters[] = {
    {QT_TRANSLATE_NOOP("corvane", "所有图片文件"), nullptr},
    {"BMP (*.BMP)", u"*.BMP;*.bmp"},
    {"PNG (*.PNG)", u"*.PNG;*.png"},
    {"GIF (*.GIF)", u"*.GIF;*.gif"},
    {"TIFF (*.TIF;*.TIFF)", u"*.TIF;*.tif;*.TIFF;*.tiff"},
    {"JPEG (*.JPG;*.JPEG;*.JPE;*.JFIF)", u"*.JPG;*.jpg;*.JPEG;*.jpeg;*.JPE;*.jpe;*.JFIF;*.jfif"},
    {QT_TRANSLATE_NOOP("corvane", "所有文件"), u"*.*"},
};

// "*.*" is every file on Windows; elsewhere it would leave out names without a dot.
QString PatternsFor(const QString& patterns) {
#ifndef _WIN32
    if (patterns == QStringLiteral("*.*")) {
        return QStringLiteral("*");
    }
#endif
    return patterns.split(u';').join(u' ');
}

}  // namespace

QStringList PictureFilters() {
    QStringList filters;
    for (const FilterChoice& choice : kPictureFilters) {
        const QString patterns =
            choice.patterns != nullptr
                ? QString::fromUtf16(choice.patterns)
                : QStringLiteral("*.") + ReadablePictureExtensions().join(QStringLiteral(";*."));
        filters << QCoreApplication::translate("corvane", choice.description) +
                       QStringLiteral(" (") + PatternsFor(patterns) + u')';
    }
    return filters;
}

std::unique_ptr<QFileDialog> CreatePictureFileDialog(const QString& currentPath, QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(
        parent, QCoreApplication::translate("corvane", "请选择一个图片"));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    // The descriptions carry the pattern text the user is shown; the patterns Qt reads follow them.
    dialog->setOption(QFileDialog::HideNameFilterDetails);
#ifndef _WIN32
    // Qt's own dialog, the same on every desktop and never blocked on a desktop portal.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
#endif
    dialog->setNameFilters(PictureFilters());
    // Room for the name, size, type and date columns of the list.
    dialog->resize(760, 480);
    if (FileCanBeOpened(currentPath)) {
        dialog->selectFile(currentPath);
    }
    return dialog;
}

QString ChoosePictureFile(const QString& currentPath, QWidget* parent) {
    const std::unique_ptr<QFileDialog> dialog = CreatePictureFileDialog(currentPath, parent);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
        return {};
    }
    return QDir::toNativeSeparators(dialog->selectedFiles().front());
}

bool FileCanBeOpened(const QString& path) {
    // Only regular files: opening a named pipe for reading would wait for a writer.
    QFile file(path);
    return IsRegularFile(path) && file.open(QIODevice::ReadOnly);
}

}  // namespace corvane
