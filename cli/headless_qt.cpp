#include "headless_qt.h"

#include <QDir>
#include <QFile>

namespace corvane {

HeadlessQt::HeadlessQt() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        return;
    }
    // QTemporaryDir makes the folder 0700 and owned by us, as Qt requires of a runtime folder.
    runtimeDir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                  QStringLiteral("/corvane-runtime-XXXXXX"));
    if (runtimeDir_->isValid()) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir_->path()));
    }
}

}  // namespace corvane
