#include "ui/resources.h"

// Resources in a static library are registered explicitly: nothing else references them, so the
// linker would drop them.
static void InitCorvaneResources() {
    Q_INIT_RESOURCE(corvane);
}

namespace corvane {

namespace {

void EnsureResources() {
    static const bool done = (InitCorvaneResources(), true);
    (void)done;
}

}  // namespace

QIcon ApplicationIcon() {
    EnsureResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/corvane-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QPixmap IntroductionIcon() {
    EnsureResources();
    return QPixmap(QStringLiteral(":/icons/introduction-24.png"));
}

}  // namespace corvane
