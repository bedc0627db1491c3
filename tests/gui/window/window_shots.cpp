// Screenshots of the main window for docs/: at start; paused in the middle of a run, with the
// progress display; and with the view-selection dialog open over a small selection. Run under a
// real (virtual) X server: scripts/shoot-window.
#include "gui/shots.h"
#include "imaging/process_setup.h"
#include "ui/dialog_main.h"
#include "ui/resources.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace corvane {
namespace {

using shots::Save;
using shots::ShowAndSettle;

// The window over a folder of a few pictures, pausing itself after the first file.
class PausingDialog : public CDialogMain {
public:
    using CDialogMain::CDialogMain;
    void SetProgressText(const QString& text) override {
        CDialogMain::SetProgressText(text);
        if (!paused_ && text.contains(QStringLiteral("已处理文件数： 1"))) {
            paused_ = true;
            Run().OnStartPauseContinue();
        }
    }

private:
    bool paused_ = false;
};

struct Scene {
    QTemporaryDir dir;
    QString settings = dir.filePath(QStringLiteral("corvane.conf"));
    QString source = dir.filePath(QStringLiteral("图片")) + QLatin1Char('/');
    QString save = dir.filePath(QStringLiteral("CVN_Save")) + QLatin1Char('/');

    Scene() {
        QDir().mkpath(source);
        QDir().mkpath(save);
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(QColor(40, 120, 200));
        for (int i = 1; i <= 6; ++i) {
            picture.save(source + QStringLiteral("照片%1.png").arg(i));
        }
    }
    MainDialogOptions Options() const {
        MainDialogOptions options;
        options.settingsLocation = settings;
        return options;
    }
};

bool ShootIdle(const Scene& scene) {
    CDialogMain dialog(scene.Options());
    dialog.SetText(ControlId::SourcePath, scene.source);
    dialog.SetText(ControlId::SavePath, scene.save);
    dialog.move(40, 40);
    ShowAndSettle(dialog);
    return Save(dialog.grab(), QStringLiteral("main-window.png"));
}

bool ShootPaused(const Scene& scene) {
    PausingDialog dialog(scene.Options());
    dialog.SetText(ControlId::SourcePath, scene.source);
    dialog.SetText(ControlId::SavePath, scene.save);
    dialog.SetChecked(ControlId::FormatJpeg, true);
    dialog.move(40, 40);
    ShowAndSettle(dialog);
    dialog.Run().OnStartPauseContinue();
    if (!QTest::qWaitFor([&] { return dialog.Text(ControlId::StatusLine) == "已暂停"; }, 30000)) {
        return false;
    }
    QTest::qWait(200);
    const bool ok = Save(dialog.grab(), QStringLiteral("main-window-paused.png"));
    dialog.Run().OnStop();
    return ok;
}

bool ShootSelection(const Scene& scene) {
    MainDialogOptions options = scene.Options();
    options.choosers.chooseFilesAndFolders = [&](PathList& files, PathList& folders, const QString&,
                                                 QWidget*) {
        files.push_back(scene.source + QStringLiteral("照片1.png"));
        files.push_back(scene.source + QStringLiteral("照片2.png"));
        folders.push_back(scene.save);
    };
    CDialogMain dialog(options);
    dialog.move(40, 40);
    ShowAndSettle(dialog);
    for (const ControlId id :
         {ControlId::MultiPathRadio, ControlId::AddSelection, ControlId::ViewSelection}) {
        static_cast<QAbstractButton*>(dialog.Control(id))->click();
    }
    CDialogViewMultiSelect* view = dialog.SelectionDialog();
    if (!QTest::qWaitForWindowExposed(view)) {
        return false;
    }
    QTest::qWait(300);
    const QRect area = dialog.frameGeometry().united(view->frameGeometry());
    const QPixmap screen =
        dialog.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    return Save(screen, QStringLiteral("view-selection.png"));
}

}  // namespace
}  // namespace corvane

int main(int argc, char** argv) {
    corvane::ConfigureProcessForImaging();
    QApplication app(argc, argv);
    QApplication::setWindowIcon(corvane::ApplicationIcon());
    corvane::shots::SetFolderFromArguments(argc, argv);
    const corvane::Scene scene;
    bool ok = corvane::ShootIdle(scene);
    ok &= corvane::ShootPaused(scene);
    ok &= corvane::ShootSelection(scene);
    return ok ? 0 : 1;
}
