// Paths as people type them: Cancel in a folder chooser keeps what was typed, and a folder whose
// name ends in a blank is the same folder wherever the window reads its path.
#include "selection/choosers.h"
#include "support/test_names.h"
#include "ui/settings_store.h"
#include "ui/shell_actions.h"
#include "window_fixture.h"

#include <QUrl>

#include <optional>

namespace corvane::test {
namespace {

using enum ControlId;

class WindowPaths : public WindowTest {
public:
    // The window with a folder chooser that records where it opened and answers `answer`.
    void OpenRecordingChooser(std::optional<QString> answer = std::nullopt) {
        MainDialogOptions options = Options();
        options.choosers.chooseFolder = [this, answer](const QString& start, QWidget*) {
            started = start;
            return answer;
        };
        Open(std::move(options));
    }
    QString started;
};

struct CancelRow {
    const char* name;
    ControlId field;
    ControlId browse;
    const char* typed;  // "ROOT" stands for the test's folder
    const char* opensAt;
};

class CancelInAChooser : public WindowPaths, public ::testing::WithParamInterface<CancelRow> {};

// The field keeps the text, also one naming nothing yet; the source's remembered value with it
// (it used to become "/", and a later run with subfolders listed the whole file system).
TEST_P(CancelInAChooser, KeepsTheFieldAndTheRememberedValue) {
    const CancelRow& row = GetParam();
    const auto expand = [this](const char* text) {
        return QString::fromUtf8(text).replace(QStringLiteral("ROOT"), tree.Root().chopped(1));
    };
    OpenRecordingChooser();
    const QString typed = expand(row.typed);
    Type(row.field, typed);
    const QString remembered = Stored(settings_names::kPathLatestOpened);
    Click(row.browse);
    EXPECT_EQ(dialog->Text(row.field), typed);
    EXPECT_EQ(Stored(settings_names::kPathLatestOpened), remembered);
    EXPECT_EQ(started, expand(row.opensAt)) << "opened at the nearest folder that exists";
    EXPECT_TRUE(Edit(row.field)->hasFocus());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CancelInAChooser,
    ::testing::Values(
        CancelRow{"SourceWithATypo", SourcePath, BrowseSource, "ROOT/in/typo/", "ROOT/in"},
        CancelRow{"SourceWithATrailingBlank", SourcePath, BrowseSource, "ROOT/gone ", "ROOT"},
        CancelRow{"SourceWithABlankTyped", SourcePath, BrowseSource, "ROOT/in/ ", "ROOT/in/"},
        CancelRow{"SaveNotMadeYet", SavePath, BrowseSave, "ROOT/CVN_Save/", "ROOT"},
        CancelRow{"SaveWithATypo", SavePath, BrowseSave, "ROOT/ou/", "ROOT"}),
    kRowName);

TEST_F(WindowPaths, OkPutsTheChosenFolderIntoTheField) {
    OpenRecordingChooser(source + "chosen/");
    Click(BrowseSource);
    EXPECT_EQ(dialog->Text(SourcePath), source + "chosen/");
    EXPECT_EQ(Stored(settings_names::kPathLatestOpened), source + "chosen/");
}

// A folder "sp " (with its blank) is taken as it stands in every place that reads a typed path.
class FolderEndingInABlank : public WindowPaths {
public:
    FolderEndingInABlank() : spaced(tree.MakeFolder(QStringLiteral("sp "))) {}
    QString Typed() const { return spaced.chopped(1); }  // ".../sp " as a person types it
    QString spaced;                                      // ".../sp /"
};

TEST_F(FolderEndingInABlank, ADroppedFolderFillsTheSourceWithItsBlank) {
    Open();
    ASSERT_TRUE(Drop(dialog.get(), {QUrl::fromLocalFile(Typed())}));
    EXPECT_EQ(dialog->Text(SourcePath), spaced);
}

TEST_F(FolderEndingInABlank, OpenCurrentIsEnabledForIt) {
    Open();
    Type(SavePath, Typed());
    EXPECT_TRUE(dialog->IsEnabled(OpenSaveCurrent));
}

TEST_F(FolderEndingInABlank, TheFileManagerIsShownThatFolder) {
    EXPECT_EQ(PlanExplorerRequest(Typed(), OpenWhich::Current),
              (ExplorerRequest{ExplorerRequest::Kind::ShowFolder, spaced}));
    EXPECT_EQ(PlanExplorerRequest(Typed(), OpenWhich::Parent),
              (ExplorerRequest{ExplorerRequest::Kind::ShowItem, spaced}));
}

TEST_F(FolderEndingInABlank, TheChooserOpensThere) {
    OpenRecordingChooser();
    Type(SourcePath, Typed());
    Click(BrowseSource);
    EXPECT_EQ(started, Typed());
}

TEST_F(FolderEndingInABlank, ItIsRememberedWithItsBlank) {
    Open();
    Type(SourcePath, Typed());
    EXPECT_EQ(Stored(settings_names::kPathLatestOpened), Typed());
    dialog.reset();
    dialog = std::make_unique<ObservedDialog>(Options());  // the next start
    EXPECT_EQ(dialog->Text(SourcePath), Typed());
}

}  // namespace
}  // namespace corvane::test
