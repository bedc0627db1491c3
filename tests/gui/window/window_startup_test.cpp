// What the window keeps between starts, a start without an image processor, and drops of files
// and folders.
#include "engine/report.h"
#include "form_rules/dialog_defaults.h"
#include "form_rules/dialog_texts.h"
#include "form_rules/language.h"
#include "ui/settings_store.h"
#include "window_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>

namespace corvane::test {
namespace {

using enum ControlId;

// Opens the window as a fresh start does: with whatever the settings file holds.
class WindowStart : public WindowTest {
public:
    void Start(MainDialogOptions options) {
        dialog = std::make_unique<ObservedDialog>(std::move(options));
        dialog->show();
    }
    void Start() { Start(Options()); }
    void Restart() {
        dialog.reset();
        Start();
    }
};

TEST_F(WindowStart, AFirstStartShowsTheDefaultsAndStoresThem) {
    Start();
    EXPECT_EQ(dialog->Text(SourcePath), DefaultSourceFolder());
    EXPECT_TRUE(dialog->Text(SourcePath).endsWith(u'/'));
    EXPECT_EQ(dialog->Text(WatermarkText), QStringLiteral("Corvane"));
    EXPECT_EQ(dialog->Text(WatermarkImagePath), DefaultSourceFolder());
    EXPECT_EQ(dialog->Text(SavePath), DefaultSaveFolder());
    EXPECT_EQ(Stored(settings_names::kPathLatestOpened), DefaultSourceFolder());
    EXPECT_EQ(Stored(settings_names::kWatermarkText), QStringLiteral("Corvane"));
    EXPECT_EQ(Stored(settings_names::kWatermarkImagePath), DefaultSourceFolder());
}

TEST_F(WindowStart, TheThreeTextsSurviveARestartTrimmed) {
    Start();
    Type(SourcePath, "  " + source + "  ");
    Click(Watermark);
    Type(WatermarkText, " 水印, 2 ");
    Click(WatermarkByImage);
    Type(WatermarkImagePath, source + "a.png");
    EXPECT_EQ(dialog->Text(SourcePath), "  " + source + "  ") << "the field keeps its blanks";
    Restart();
    EXPECT_EQ(dialog->Text(SourcePath), source);
    EXPECT_EQ(dialog->Text(WatermarkText), QStringLiteral("水印, 2"));
    EXPECT_EQ(dialog->Text(WatermarkImagePath), source + "a.png");
    EXPECT_EQ(dialog->Text(SavePath), DefaultSaveFolder()) << "the rest starts from the defaults";
    EXPECT_FALSE(dialog->IsChecked(Watermark));
}

TEST_F(WindowStart, ALongPathIsRememberedWhole) {
    const QString deep = tree.MakeFolder(QString(80, u'图') + "/" + QString(150, u'x'));
    ASSERT_TRUE(QDir(deep).exists());
    ASSERT_GT(deep.size(), 255);
    Start();
    dialog->SetText(SourcePath, deep);
    Restart();
    EXPECT_EQ(dialog->Text(SourcePath), deep);
}

TEST_F(WindowStart, AnEmptiedFieldKeepsTheLastText) {
    Start();
    Click(Watermark);
    Type(WatermarkText, "kept");
    Type(WatermarkText, "");
    Restart();
    EXPECT_EQ(dialog->Text(WatermarkText), QStringLiteral("kept"));
}

TEST_F(WindowStart, AStoredFolderThatIsGoneIsShownAndRefused) {
    CRegistryStore(settingsFile).WriteString(settings_names::kPathLatestOpened, tree.Path("gone/"));
    Start();
    EXPECT_EQ(dialog->Text(SourcePath), tree.Path("gone/"));
    EXPECT_FALSE(dialog->IsEnabled(OpenSourceCurrent));
    dialog->SetText(SavePath, save);
    Click(StartButton);
    EXPECT_EQ(dialog->Text(StatusLine), QStringLiteral("请填写或选择正确的  打开路径。"));
}

TEST_F(WindowStart, WithoutAnImageProcessorEverythingIsDisabled) {
    MainDialogOptions options = Options();
    options.makeProcessor = [] { return std::unique_ptr<ImageProcessor>(); };
    Start(std::move(options));
    EXPECT_FALSE(dialog->IsInitialised());
    EXPECT_EQ(dialog->Text(StatusLine), QStringLiteral("程序初始化失败！"));
    EXPECT_EQ(dialog->StatusColour(), colours::kRed);
    EXPECT_TRUE(dialog->Text(ProgressText).isEmpty());
    for (const ControlId id : {StartButton,
                               StopButton,
                               SourcePath,
                               SavePath,
                               SinglePathRadio,
                               MultiPathRadio,
                               BrowseSource,
                               BrowseSave,
                               Rotate,
                               Resize,
                               Cut,
                               Combine,
                               Watermark,
                               FormatAll,
                               FormatPng,
                               SameAsSource,
                               DirectCopy,
                               CopyFolderStructure,
                               ClashPrefix,
                               ClashPrefixText,
                               ClashOverwrite,
                               NameLengthLimit,
                               LongNameFoldPrefix,
                               IncludeSubfolders,
                               AddSelection}) {
        EXPECT_FALSE(dialog->IsEnabled(id)) << static_cast<int>(id);
    }
    Key(Qt::Key_Return);
    dialog->Run().OnStartPauseContinue();
    EXPECT_EQ(dialog->Run().State(), RunState::Idle) << "Start never runs";
    EXPECT_EQ(dialog->Text(StatusLine), QStringLiteral("程序初始化失败！"));
    dialog->close();
    EXPECT_FALSE(dialog->isVisible()) << "the window can still be closed";
}

TEST_F(WindowStart, TheRealProcessorIsCreated) {
    Start();
    EXPECT_TRUE(dialog->IsInitialised());
}

TEST_F(WindowTest, OneFolderDroppedInSinglePathModeFillsTheSource) {
    Open();
    const QString folder = tree.MakeFolder("dropped");
    EXPECT_TRUE(Drop(dialog.get(), {QUrl::fromLocalFile(folder.chopped(1))}));
    EXPECT_EQ(dialog->Text(SourcePath), folder);
    EXPECT_TRUE(dialog->IsChecked(SinglePathRadio));
}

TEST_F(WindowTest, FilesAndFoldersDroppedAreAddedToTheSelection) {
    Open();
    EXPECT_TRUE(Drop(dialog.get(), {QUrl::fromLocalFile(source + "a.png"),
                                    QUrl::fromLocalFile(tree.MakeFolder("x").chopped(1)),
                                    QUrl::fromLocalFile(tree.Path("gone.png"))}));
    EXPECT_TRUE(dialog->IsChecked(MultiPathRadio));
    EXPECT_FALSE(dialog->IsEnabled(SourcePath));
    EXPECT_TRUE(dialog->IsEnabled(ClearSelection));
    EXPECT_EQ(dialog->Text(SelectionCounts),
              QStringLiteral("已选文件数：  1  ， 已选文件夹数：  1"));
    EXPECT_TRUE(Drop(dialog.get(), {QUrl::fromLocalFile(tree.MakeFolder("y").chopped(1))}))
        << "in multi-path mode a single folder is added too";
    EXPECT_EQ(dialog->Text(SelectionCounts),
              QStringLiteral("已选文件数：  1  ， 已选文件夹数：  2"));
    EXPECT_FALSE(Drop(dialog.get(), {QUrl(QStringLiteral("https://example.org/a.png"))}));
}

TEST_F(WindowTest, DropsAreRefusedDuringARun) {
    Open();
    bool tried = false;
    dialog->onProgress = [&](const QString&) {
        if (!tried) {
            tried = true;
            EXPECT_FALSE(Drop(dialog.get(), {QUrl::fromLocalFile(source + "a.png")}));
        }
    };
    Click(StartButton);
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_TRUE(tried);
    EXPECT_TRUE(dialog->IsChecked(SinglePathRadio));
    EXPECT_EQ(dialog->Run().MultiSelectFiles(), nullptr);
}

// The language is chosen as the program chooses it at its start: CORVANE_LANG=en gives English,
// the C locale (nothing English anywhere) the window's own Chinese.
TEST_F(WindowStart, TheWindowSpeaksEnglishWhenAskedAndChineseUnderTheCLocale) {
    struct Row {
        const char* corvaneLang;
        QString group, start, format, status;
    };
    const Row rows[] = {
        {"en", QStringLiteral("Open"), QStringLiteral("Start"), QStringLiteral("Format"),
         QStringLiteral("Tip: one side may be 0")},
        {"", QStringLiteral("打开"), QStringLiteral("开  始"), QStringLiteral("保存格式"),
         QStringLiteral("小窍门：单边约束")},
    };
    const QByteArray savedLang = qgetenv("LANG");
    const QByteArray savedAll = qgetenv("LC_ALL");
    qputenv("LANG", "C");
    qunsetenv("LC_ALL");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.corvaneLang);
        qputenv("CORVANE_LANG", row.corvaneLang);
        const Translations translations(UserLanguage());
        Restart();
        EXPECT_EQ(dialog->Text(SourceGroup), row.group);
        EXPECT_EQ(dialog->Text(StartButton), row.start);
        EXPECT_EQ(dialog->Text(FormatLabel), row.format);
        EXPECT_TRUE(dialog->Text(StatusLine).startsWith(row.status))
            << dialog->Text(StatusLine).toStdString();
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Corvane 2.2.1"));
    }
    qputenv("CORVANE_LANG", "zh");  // as the tests' main sets it
    qputenv("LANG", savedLang);
    qputenv("LC_ALL", savedAll);
}

}  // namespace
}  // namespace corvane::test
