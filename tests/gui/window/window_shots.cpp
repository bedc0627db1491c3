// Screenshots of the main window for docs/: at start; paused in the middle of a run, with the
// progress display; with the view-selection dialog open over a small selection; with the list of
// the files a run left without output; with the colour popup open, on the whole screen; and, run
// with --scale S, the whole screen with the window at that scale factor (scrolled when the screen
// is too small for it); and the window at start in English. With --lang en every shot is taken in
// English (for a look at the English dialogs). Run under a real (virtual) X server:
// scripts/shoot-window.
#include "controls/colour_button.h"
#include "engine/report.h"
#include "form_rules/language.h"
#include "gui/shots.h"
#include "imaging/process_setup.h"
#include "ui/dialog_main.h"
#include "ui/resources.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <optional>

namespace corvane {
namespace {

using shots::GrabScreen;
using shots::Save;
using shots::ShowAndSettle;

// The window over a folder of a few pictures, pausing itself after the first file.
class PausingDialog : public CDialogMain {
public:
    using CDialogMain::CDialogMain;
    void SetProgressText(const QString& text) override {
        CDialogMain::SetProgressText(text);
        if (!paused_ && (text.contains(QStringLiteral("已处理文件数： 1")) ||
                         text.contains(QStringLiteral("Processed: 1;")))) {
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

bool ShootIdle(const Scene& scene, const QString& name = QStringLiteral("main-window.png")) {
    CDialogMain dialog(scene.Options());
    dialog.SetText(ControlId::SourcePath, scene.source);
    dialog.SetText(ControlId::SavePath, scene.save);
    dialog.move(40, 40);
    ShowAndSettle(dialog);
    return Save(dialog.grab(), name);
}

bool ShootPaused(const Scene& scene) {
    PausingDialog dialog(scene.Options());
    dialog.SetText(ControlId::SourcePath, scene.source);
    dialog.SetText(ControlId::SavePath, scene.save);
    dialog.SetChecked(ControlId::FormatJpeg, true);
    dialog.move(40, 40);
    ShowAndSettle(dialog);
    dialog.Run().OnStartPauseContinue();
    if (!QTest::qWaitFor(
            [&] { return dialog.Text(ControlId::StatusLine) == QString(texts::kPaused); }, 30000)) {
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
    const QRect area = dialog.frameGeometry().united(view->frameGeometry());
    return Save(GrabScreen(dialog.screen(), area), QStringLiteral("view-selection.png"));
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
}

// A run over a folder with a damaged picture, a text file named like a picture and a name too
// long for the limit, then the list of the files that gave no output.
bool ShootUnwrittenFiles(const Scene& scene) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("相册")) + QLatin1Char('/');
    QDir().mkpath(source);
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(QColor(40, 120, 200));
    picture.save(source + QStringLiteral("照片1.png"));
    picture.save(source + QStringLiteral("旅行照片（2024 年夏天，海边）.png"));
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    picture.save(&png, "PNG");
    WriteBytes(source + QStringLiteral("损坏的照片.png"), png.data().left(png.data().size() / 2));
    WriteBytes(source + QStringLiteral("说明.png"), "this is not a picture\n");

    CDialogMain dialog(scene.Options());
    dialog.SetText(ControlId::SourcePath, source);
    dialog.SetText(ControlId::SavePath, scene.save);
    dialog.SetText(ControlId::NameLengthLimit, QStringLiteral("20"));
    static_cast<QAbstractButton*>(dialog.Control(ControlId::LongNameAbandon))->click();
    dialog.move(40, 40);
    ShowAndSettle(dialog);
    dialog.Run().OnStartPauseContinue();
    if (!QTest::qWaitFor([&] { return dialog.UnwrittenLink()->isVisible(); }, 30000)) {
        return false;
    }
    bool ok = Save(dialog.grab(), QStringLiteral("main-window-unwritten-link.png"));
    dialog.UnwrittenLink()->click();
    CDialogUnwrittenFiles* list = dialog.UnwrittenList();
    if (!QTest::qWaitForWindowExposed(list)) {
        return false;
    }
    const QRect area = dialog.frameGeometry().united(list->frameGeometry());
    ok &= Save(GrabScreen(dialog.screen(), area), QStringLiteral("unwritten-files.png"));
    return ok;
}

// The colour popup of "背景色" as it appears on the screen, over the window.
bool ShootColourPopup(const Scene& scene) {
    CDialogMain dialog(scene.Options());
    dialog.SetText(ControlId::SourcePath, scene.source);
    dialog.SetText(ControlId::SavePath, scene.save);
    for (const ControlId id : {ControlId::Rotate, ControlId::RotateCustom}) {
        static_cast<QAbstractButton*>(dialog.Control(id))->click();
    }
    dialog.move(40, 40);
    ShowAndSettle(dialog);
    auto* picker = static_cast<CColourButton*>(dialog.Control(ControlId::RotateBackground));
    picker->OpenPopup();
    CColourButtonPopup* popup = picker->Popup();
    if (popup == nullptr || !QTest::qWaitForWindowExposed(popup)) {
        return false;
    }
    popup->Select(21);  // as the pointer or the arrow keys mark "浅蓝"
    const bool ok =
        Save(GrabScreen(dialog.screen()), QStringLiteral("main-window-colour-popup.png"));
    popup->End(false);
    return ok;
}

// The whole screen with the window at a scale factor (QT_SCALE_FACTOR, set before the program's
// start): at 2 the screen of 1600 x 1200 pixels is 800 x 600 for the window, lower than it, so
// it is shown scrolled; scrolled to its bottom here, where Start and the verdict are.
bool ShootScaled(const Scene& scene, const QString& scale) {
    CDialogMain dialog(scene.Options());
    dialog.SetText(ControlId::SourcePath, scene.source);
    dialog.SetText(ControlId::SavePath, scene.save);
    ShowAndSettle(dialog);
    dialog.ScrollArea()->ensureWidgetVisible(dialog.Control(ControlId::StartButton));
    return Save(GrabScreen(dialog.screen()), QStringLiteral("main-window-%1x.png").arg(scale));
}

}  // namespace
}  // namespace corvane

int main(int argc, char** argv) {
    // window_shots FOLDER [--scale S | --lang en]
    const QString scale =
        argc > 3 && QByteArray(argv[2]) == "--scale" ? QString::fromLatin1(argv[3]) : QString();
    const bool allInEnglish = argc > 3 && QByteArray(argv[2]) == "--lang";
    if (!scale.isEmpty()) {
        qputenv("QT_SCALE_FACTOR", scale.toLatin1());
    }
    corvane::ConfigureProcessForImaging();
    QApplication app(argc, argv);
    QApplication::setWindowIcon(corvane::ApplicationIcon());
    corvane::shots::SetFolderFromArguments(argc, argv);
    const corvane::Scene scene;
    if (!scale.isEmpty()) {
        return corvane::ShootScaled(scene, scale) ? 0 : 1;
    }
    std::optional<corvane::Translations> english;
    if (allInEnglish) {
        english.emplace(corvane::Language::English);
    }
    bool ok = corvane::ShootIdle(scene);
    ok &= corvane::ShootPaused(scene);
    ok &= corvane::ShootSelection(scene);
    ok &= corvane::ShootUnwrittenFiles(scene);
    ok &= corvane::ShootColourPopup(scene);
    if (!allInEnglish) {
        const corvane::Translations inEnglish(corvane::Language::English);
        ok &= corvane::ShootIdle(scene, QStringLiteral("main-window-en.png"));
    }
    return ok ? 0 : 1;
}
