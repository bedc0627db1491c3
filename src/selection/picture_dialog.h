#pragma once
// The picture chooser's dialog, built apart from showing it so that it can be checked and driven.

#include <QFileDialog>
#include <QStringList>

#include <memory>

namespace corvane {

// The seven filter choices, the first being the default, as Qt's "description (patterns)". The
// dialog shows the descriptions alone; patterns match regardless of case.
QStringList PictureFilters();

// Titled "请选择一个图片", opening an existing file; preset to the current path when
// FileCanBeOpened(currentPath), otherwise with no preset name or folder.
std::unique_ptr<QFileDialog> CreatePictureFileDialog(const QString& currentPath, QWidget* parent);

}  // namespace corvane
