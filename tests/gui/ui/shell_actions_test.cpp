// The "打开当前" / "打开上层" buttons: what they ask for, the parameters explorer.exe would get,
// and the calls that reach a file manager of the test's own on the private session bus the test
// runs on (dbus-run-session), with the fallback to QDesktopServices when none answers; and how
// the window's buttons wait for their call and report that nothing could show a folder.
#include "ui/shell_actions.h"
#include "engine/report.h"
#include "support/temp_tree.h"
#include "ui/dialog_main.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include <memory>

namespace corvane {

void PrintTo(const ExplorerRequest& request, std::ostream* os) {
    *os << int(request.kind) << " " << request.path.toStdString();
}

namespace {

using Kind = ExplorerRequest::Kind;

TEST(PlanExplorerRequest, CurrentAndParentForPresentAndMissingPaths) {
    const QSet<QString> present = {QStringLiteral("/photos/"), QStringLiteral("/")};
    const auto exists = [&](const QString& p) { return present.contains(p); };
    struct Row {
        const char* name;
        const char* text;
        OpenWhich which;
        ExplorerRequest expected;
    };
    const Row rows[] = {
        {"current, present", "/photos", OpenWhich::Current, {Kind::ShowFolder, "/photos/"}},
        {"current, normalised first",
         "  //photos///  ",
         OpenWhich::Current,
         {Kind::ShowFolder, "/photos/"}},
        {"current, missing: nothing", "/x/y/", OpenWhich::Current, {}},
        {"parent, present: item selected",
         "/photos/",
         OpenWhich::Parent,
         {Kind::ShowItem, "/photos/"}},
        {"parent, missing: the parent folder",
         "/x/y/",
         OpenWhich::Parent,
         {Kind::ShowFolder, "/x/"}},
        {"parent of a missing relative name: nothing", "y", OpenWhich::Parent, {}},
        {"empty text is the root", "", OpenWhich::Current, {Kind::ShowFolder, "/"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(PlanExplorerRequest(QString::fromUtf8(row.text), row.which, exists), row.expected)
            << row.name;
    }
}

TEST(ExplorerParameters, SelectOrPlainFormat) {
    EXPECT_EQ(ExplorerParameters({Kind::ShowItem, QStringLiteral("C:\\Photos\\")}),
              QStringLiteral("/e,/select,\"C:\\Photos\\\""));
    EXPECT_EQ(ExplorerParameters({Kind::ShowFolder, QStringLiteral("D:\\x\\")}),
              QStringLiteral("/e,\"D:\\x\\\""));
    EXPECT_EQ(ExplorerParameters({}), QString());
}

// org.freedesktop.FileManager1 as the test's own service, recording what it is asked.
class FileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList calls;
    bool answer = true;
public slots:
    void ShowItems(const QStringList& uris, const QString&, const QDBusMessage& message) {
        Record(QStringLiteral("ShowItems"), uris, message);
    }
    void ShowFolders(const QStringList& uris, const QString&, const QDBusMessage& message) {
        Record(QStringLiteral("ShowFolders"), uris, message);
    }

private:
    void Record(const QString& method, const QStringList& uris, const QDBusMessage& message) {
        calls.append(method + u' ' + uris.join(u','));
        if (!answer) {
            message.setDelayedReply(true);  // and never reply
        }
    }
};

// Receives the folders opened directly, instead of the desktop.
class FolderRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls.append(url); }
};

class OpenInExplorerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
            !QDBusConnection::sessionBus().isConnected()) {
            GTEST_SKIP() << "no session bus: run under dbus-run-session";
        }
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &folders, "Open");
        folder = tree.MakeFolder(QStringLiteral("相册 2024"));
    }
    void TearDown() override {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        if (registered) {
            bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
            QDBusConnection::disconnectFromBus(bus.name());
        }
    }
    // Serves the file manager on a second connection, so calls really cross the bus.
    void StartFileManager() {
        bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                            QStringLiteral("file-manager"));
        ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"),
                                       &fileManager, QDBusConnection::ExportAllSlots));
        if (!bus.registerService(QStringLiteral("org.freedesktop.FileManager1"))) {
            GTEST_SKIP() << "a file manager already owns the name: not a private bus";
        }
        registered = true;
    }
    // Runs the handler and waits until the button is usable again.
    void Click(const QString& text, OpenWhich which, bool calls = true) {
        QPushButton button;
        OpenInExplorer(text, &button, which);
        EXPECT_EQ(button.isEnabled(), !calls) << "disabled only while a call is made";
        QTRY_VERIFY_WITH_TIMEOUT(button.isEnabled(), 15000);
    }
    QString Uri(const QString& path) const {
        return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    }

    test::TempTree tree;
    QString folder;
    FileManager fileManager;
    FolderRecorder folders;
    QDBusConnection bus{QString()};
    bool registered = false;
};

TEST_F(OpenInExplorerTest, ParentShowsTheFolderSelectedInItsParent) {
    StartFileManager();
    Click(folder, OpenWhich::Parent);
    EXPECT_EQ(fileManager.calls, QStringList{"ShowItems " + Uri(folder.chopped(1))});
    EXPECT_TRUE(Uri(folder).contains(QStringLiteral("%E7%9B%B8%E5%86%8C%202024")));
    EXPECT_TRUE(folders.urls.isEmpty());
}

TEST_F(OpenInExplorerTest, CurrentShowsTheFolderAndTwoClicksTwoCalls) {
    StartFileManager();
    Click(folder, OpenWhich::Current);
    Click(folder, OpenWhich::Current);
    const QString call = "ShowFolders " + Uri(folder.chopped(1));
    EXPECT_EQ(fileManager.calls, QStringList({call, call}));
}

TEST_F(OpenInExplorerTest, ParentOfAMissingFolderShowsItsParent) {
    StartFileManager();
    Click(folder + QStringLiteral("gone/"), OpenWhich::Parent);
    EXPECT_EQ(fileManager.calls, QStringList{"ShowFolders " + Uri(folder.chopped(1))});
}

TEST_F(OpenInExplorerTest, CurrentOfAMissingFolderDoesNothing) {
    StartFileManager();
    Click(folder + QStringLiteral("gone/"), OpenWhich::Current, false);
    QCoreApplication::processEvents();
    EXPECT_TRUE(fileManager.calls.isEmpty());
    EXPECT_TRUE(folders.urls.isEmpty());
}

TEST_F(OpenInExplorerTest, WithoutAFileManagerTheFolderIsOpenedDirectly) {
    struct Row {
        const char* name;
        OpenWhich which;
        QString expected;
    };
    const Row rows[] = {
        {"current: the folder", OpenWhich::Current, folder.chopped(1)},
        {"parent: the folder holding the item", OpenWhich::Parent, tree.Root().chopped(1)},
    };
    for (const Row& row : rows) {
        folders.urls.clear();
        Click(folder, row.which);
        ASSERT_EQ(folders.urls.size(), 1) << row.name;
        EXPECT_EQ(folders.urls.front(), QUrl::fromLocalFile(row.expected)) << row.name;
    }
}

TEST_F(OpenInExplorerTest, AFileManagerThatNeverAnswersFallsBackAfterTheTimeout) {
    fileManager.answer = false;
    StartFileManager();
    bool done = false;
    ShowInFileManager(
        {Kind::ShowFolder, folder}, [&](bool) { done = true; }, 300);
    QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
    EXPECT_EQ(fileManager.calls.size(), 1);
    ASSERT_EQ(folders.urls.size(), 1);
    EXPECT_EQ(folders.urls.front(), QUrl::fromLocalFile(folder.chopped(1)));
}

// The main window's open buttons: a button stays disabled until the file manager has answered,
// even when the rules run meanwhile; when nothing at all can show the folder, the status line says
// so in red.
class WindowOpenButtons : public OpenInExplorerTest {
protected:
    void OpenWindow() {
        MainDialogOptions options;
        options.settingsLocation = tree.Path(QStringLiteral("config/corvane.conf"));
        options.choosers = {};
        window = std::make_unique<CDialogMain>(std::move(options));
        window->SetText(ControlId::SourcePath, folder);
        window->show();
    }
    QAbstractButton* Button(ControlId id) const {
        return static_cast<QAbstractButton*>(window->Control(id));
    }
    std::unique_ptr<CDialogMain> window;
};

TEST_F(WindowOpenButtons, AButtonWaitsForItsCallWhateverTheRulesSay) {
    StartFileManager();
    OpenWindow();
    QAbstractButton* current = Button(ControlId::OpenSourceCurrent);
    ASSERT_TRUE(current->isEnabled());
    current->click();
    EXPECT_FALSE(current->isEnabled());
    window->SetText(ControlId::SourcePath, folder + QStringLiteral("x"));  // the rules run
    window->SetText(ControlId::SourcePath, folder);                        // and again
    EXPECT_FALSE(current->isEnabled()) << "the call has not come back yet";
    EXPECT_TRUE(Button(ControlId::OpenSourceParent)->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(current->isEnabled(), 15000);
    EXPECT_EQ(fileManager.calls.size(), 1);
    EXPECT_NE(window->Text(ControlId::StatusLine), kNoFileManager);
}

TEST_F(WindowOpenButtons, WhenNothingCanShowTheFolderTheStatusLineSaysSo) {
    // No file manager on the bus, and no handler for folders.
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    OpenWindow();
    Button(ControlId::OpenSourceParent)->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->Text(ControlId::StatusLine), kNoFileManager, 15000);
    EXPECT_EQ(window->StatusColour(), colours::kRed);
    EXPECT_TRUE(Button(ControlId::OpenSourceParent)->isEnabled());
}

}  // namespace
}  // namespace corvane

#include "shell_actions_test.moc"
