#pragma once
// CDialogMain: the one window of the program. It holds every option of a run, the Start/Pause/
// Continue and Stop buttons, the progress and status texts, and opens the introduction and the
// view-selection dialogs.
//
// It is the Form the run options, enable rules and validation read, and the RunView of the
// engine's RunController, which runs everything about a run; worker messages reach it through a
// WindowMailbox. Enter starts or pauses and Esc stops, wherever the focus is; Esc never closes.
// Closing during a run waits for the worker's last message. Everything here runs on the window
// thread.
//
// The controls stand on one surface of the template's fixed size. On a screen whose free area is
// smaller than that (a high scale factor, a small screen) the surface is shown scrolled inside a
// window that fits, so every control stays reachable. After a run, a link in the status area
// lists the files that gave no output, with their reasons.

#include "engine/form.h"
#include "engine/run_controller.h"
#include "engine/run_view.h"
#include "selection/profile_store.h"
#include "ui/dialog_introduction.h"
#include "ui/dialog_unwritten_files.h"
#include "ui/dialog_view_multi_select.h"
#include "ui/processor_setup.h"
#include "ui/settings_store.h"
#include "ui/shell_actions.h"
#include "ui/update_throttle.h"
#include "ui/window_choosers.h"
#include "ui/window_mailbox.h"

#include <QDialog>
#include <QPointer>

#include <map>
#include <memory>
#include <set>

class QLabel;
class QPushButton;
class QScreen;
class QScrollArea;
class QStyle;

namespace corvane {

class CShadedProgressBar;

// What the window is given from outside; tests replace each part. A chooser left empty leaves
// its button without effect.
struct MainDialogOptions {
    QString settingsLocation = CRegistryStore::DefaultLocation();
    ProcessorFactory makeProcessor = CreateImageProcessor;
    WindowChoosers choosers = SelectionChoosers(ProfileStore::DefaultPath());
};

class CDialogMain : public QDialog, public Form, public RunView {
public:
    explicit CDialogMain(MainDialogOptions options = {}, QWidget* parent = nullptr);
    ~CDialogMain() override;

    // Form.
    bool IsChecked(ControlId id) const override;
    void SetChecked(ControlId id, bool checked) override;
    bool IsEnabled(ControlId id) const override;
    void SetEnabled(ControlId id, bool enabled) override;
    QString Text(ControlId id) const override;
    void SetText(ControlId id, const QString& text) override;
    std::uint32_t ColourValue(ControlId id) const override;
    void SetColourValue(ControlId id, std::uint32_t colour) override;

    // RunView.
    void SetStatus(const QString& text, Colour colour) override;
    void SetProgressText(const QString& text) override;
    void ShowProgressBar(bool shown) override;
    void SetProgressPosition(int percent) override;
    void SetButtonCaption(ControlId button, const QString& caption) override;
    void SetButtonEnabled(ControlId button, bool enabled) override;
    void SetControlsEnabled(bool enable, bool startEnabled) override;
    void SetFocus(ControlId control) override;
    void CloseWindow() override;

    // The widget of a control (nullptr for an unknown id).
    QWidget* Control(ControlId id) const;
    Colour StatusColour() const { return statusColour_; }
    bool IsInitialised() const { return initialised_; }
    RunController& Run() { return *run_; }
    CDialogIntroduction* Introduction() const { return introduction_; }
    CDialogViewMultiSelect* SelectionDialog() const { return viewSelection_; }
    // The link to the files of the last run that gave no output (hidden when there are none), and
    // the list it opens.
    QPushButton* UnwrittenLink() const { return unwrittenLink_; }
    CDialogUnwrittenFiles* UnwrittenList() const { return unwrittenList_; }
    // The scroll area that holds the controls; it scrolls only when the screen is too small.
    QScrollArea* ScrollArea() const { return scroll_; }

    void setVisible(bool visible) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildControls();
    void BuildStatusLink();
    void PlaceStatusLink();
    void FitToScreen();
    void WatchScreen(QScreen* screen);
    bool HandleTooltip(QWidget* widget, QEvent* event);
    void OpenFileManager(ControlId button, ControlId field, OpenWhich which);
    void UpdateUnwrittenLink();
    void ShowUnwrittenList();
    void ApplyProgress();
    void ApplyFonts();
    void ConnectHandlers();
    void ConnectTextHandlers();
    void Initialise();
    void LoadRememberedTexts();
    void Persist(const QString& valueName, ControlId field);

    bool HandleKey(int key);
    void OnStop();
    void Browse(ControlId field);
    void BrowsePicture();
    void OnAdd();
    void OnClear();
    void EnsureSelectionLists();
    void ToggleChild(QDialog* child, QDialog* other);
    // Places the two child dialogs under their buttons, centred on this window.
    void PositionChildDialogs();
    void AfterSelectionChanged();
    void UpdateSelectionCounts();
    void UpdateTooltips();
    bool HasSelection();
    bool AcceptsDrops() const;
    void ShutdownDialog();

    MainDialogOptions options_;
    std::unique_ptr<CRegistryStore> store_;
    std::unique_ptr<ImageProcessor> processor_;
    std::map<ControlId, QWidget*> controls_;
    QWidget* body_ = nullptr;  // the template's surface, holding every control
    QScrollArea* scroll_ = nullptr;
    bool watchingScreen_ = false;
    QMetaObject::Connection screenWatch_;
    // The dialog's own tips show at once, in their own colours; no other tip is touched.
    QStyle* tipStyle_ = nullptr;  // a child of the dialog
    // The open buttons whose file-manager call has not come back: the rules leave them disabled.
    std::set<ControlId> fileManagerCalls_;
    QPushButton* unwrittenLink_ = nullptr;
    QLabel* status_ = nullptr;
    CShadedProgressBar* progressBar_ = nullptr;
    Colour statusColour_ = 0;
    // The counts and the bar follow a run's messages at most 25 times a second.
    QString progressText_;
    int progressPercent_ = 0;
    UpdateThrottle progressDisplay_{std::chrono::milliseconds(40), [this] { ApplyProgress(); }};
    bool initialised_ = false;
    bool tooltipsReady_ = false;
    bool closing_ = false;
    QPointer<CDialogIntroduction> introduction_;
    QPointer<CDialogViewMultiSelect> viewSelection_;
    QPointer<CDialogUnwrittenFiles> unwrittenList_;
    WindowMailbox mailbox_;
    std::unique_ptr<RunController> run_;  // last: gone (its worker joined) before the rest
};

}  // namespace corvane
