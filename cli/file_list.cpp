#include "file_list.h"

#include "platform/file_system.h"
#include "platform/native_names.h"

#include <QFile>

#include <cstdio>

namespace corvane {

bool ReadFileList(const QString& source, PathList& files, QString* error) {
    QFile list;
    if (source == QLatin1String("-")) {
        if (!list.open(stdin, QIODevice::ReadOnly)) {
            *error = list.errorString();
            return false;
        }
    } else if (!OpenRegularFile(source, list, error)) {
        return false;
    }
    const QByteArray bytes = list.readAll();
    if (list.error() != QFileDevice::NoError) {
        *error = list.errorString();
        return false;
    }
    const char separator = bytes.contains('\0') ? '\0' : '\n';
    for (const QByteArray& name : bytes.split(separator)) {
        if (!name.isEmpty()) {
            files.push_back(AbsolutePath(DecodeNativeName(std::string_view(name))));
        }
    }
    return true;
}

}  // namespace corvane
