#include "selection/folder_history_box.h"
#include "selection/profile_store.h"
#include "selection_test_util.h"
#include "support/unprivileged.h"

#include <QSettings>

#include <sys/stat.h>

namespace corvane {
namespace {

using test::ReadAll;
using test::TempTree;

const QString kSection = QStringLiteral("FolderHistory");

QString Key(int i) {
    return QStringLiteral("Folder%1").arg(i, 4, 10, QChar(u'0'));
}

// The keys of the history section as a fresh reader of the file sees them (not this process's
// cache of the profile).
QStringList KeysOnDisk(const QString& file) {
    TempTree copy;
    const QString path = copy.WriteFile(QStringLiteral("copy.ini"), ReadAll(file));
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(kSection);
    QStringList keys = settings.childKeys();
    keys.sort();
    return keys;
}

QStringList Entries(const QComboBox& box) {
    QStringList entries;
    for (int i = 0; i < box.count(); ++i) {
        entries << box.itemText(i);
    }
    return entries;
}

class History : public ::testing::Test {
protected:
    TempTree tree;
    QString file = tree.Path(QStringLiteral("config/corvane.ini"));

    std::unique_ptr<CFolderHistoryBox> LoadedBox(ProfileStore& profile) {
        auto box = std::make_unique<CFolderHistoryBox>(profile);
        box->SetMaximumEntries(50);
        box->SetCheckExistence(true);
        box->LoadHistory(kSection, QStringLiteral("Folder"), true);
        return box;
    }
};

TEST_F(History, AMissingEntrySkipsOnLoadAndTheNextSaveRewritesTheKeys) {
    const QString a = tree.MakeFolder(QStringLiteral("a"));
    const QString c = tree.MakeFolder(QStringLiteral("c"));
    const QString d = tree.MakeFolder(QStringLiteral("d"));
    const QString fresh = tree.MakeFolder(QStringLiteral("fresh"));
    {
        ProfileStore profile(file);
        for (const auto& [i, path] :
             {std::pair{0, a}, {1, tree.Path(QStringLiteral("gone"))}, {2, c}, {3, d}}) {
            profile.WriteString(kSection, Key(i), path);
        }
        profile.Sync();
    }
    ProfileStore profile(file);
    auto box = LoadedBox(profile);
    EXPECT_EQ(Entries(*box), QStringList({a, c, d}));
    box->setEditText(fresh);
    box->SaveHistory(true);
    EXPECT_EQ(Entries(*box), QStringList({fresh, a, c, d}));
    EXPECT_EQ(KeysOnDisk(file),
              QStringList({"Folder", "Folder0000", "Folder0001", "Folder0002", "Folder0003"}));

    // One entry fewer next time: the key behind the last entry goes.
    box->removeItem(1);
    box->SaveHistory(false);
    EXPECT_EQ(KeysOnDisk(file), QStringList({"Folder", "Folder0000", "Folder0001", "Folder0002"}));
}

TEST_F(History, AFolderChosenAgainMovesToTheTop) {
    ProfileStore profile(file);
    auto box = LoadedBox(profile);
    for (const char* name : {"one", "two", "three"}) {
        EXPECT_EQ(box->AddToHistory(tree.MakeFolder(QString::fromUtf8(name))), 0);
    }
    EXPECT_EQ(box->AddToHistory(QStringLiteral("  ") + tree.Path(QStringLiteral("one/"))), 0);
    EXPECT_EQ(Entries(*box),
              QStringList({tree.Path("one/"), tree.Path("three/"), tree.Path("two/")}));
    EXPECT_EQ(box->AddToHistory(QStringLiteral("   ")), -1);
    // Paths differing in case are different folders here.
    box->AddToHistory(tree.Path(QStringLiteral("ONE/")));
    EXPECT_EQ(box->count(), 4);
}

TEST_F(History, KeepsFiftyEntriesAndReadsNoFurther) {
    {
        ProfileStore profile(file);
        for (int i = 0; i < 60; ++i) {
            profile.WriteString(kSection, Key(i), tree.MakeFolder(QString::number(i)));
        }
        profile.Sync();
    }
    ProfileStore profile(file);
    auto box = LoadedBox(profile);
    EXPECT_EQ(box->count(), 50);
    box->AddToHistory(tree.MakeFolder(QStringLiteral("new")));
    EXPECT_EQ(box->count(), 50);
    EXPECT_EQ(box->itemText(49), tree.Path(QStringLiteral("48/")));
    box->SaveHistory(false);
    // Keys 50 … 59 were stale and are gone.
    EXPECT_EQ(KeysOnDisk(file).size(), 51);
    EXPECT_FALSE(KeysOnDisk(file).contains(Key(50)));
}

TEST_F(History, TheLastTextIsRestored) {
    const QString a = tree.MakeFolder(QStringLiteral("a"));
    const QString b = tree.MakeFolder(QStringLiteral("b"));
    {
        ProfileStore profile(file);
        profile.WriteString(kSection, Key(0), a);
        profile.WriteString(kSection, Key(1), b);
        profile.WriteString(kSection, QStringLiteral("Folder"), b);
        profile.Sync();
    }
    ProfileStore profile(file);
    auto box = LoadedBox(profile);
    EXPECT_EQ(box->currentIndex(), 1);
    EXPECT_EQ(box->currentText(), b);
}

TEST_F(History, WithoutSectionNothingIsReadOrWritten) {
    ProfileStore profile(file);
    CFolderHistoryBox box(profile);
    EXPECT_EQ(box.LoadHistory(QString(), QStringLiteral("Folder"), true), QString());
    EXPECT_EQ(box.AddToHistory(QStringLiteral("x")), 0);
    box.SaveHistory(true);
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(History, ADamagedFileKeepsWhatCanBeRead) {
    const QString a = tree.MakeFolder(QStringLiteral("a"));
    const QString b = tree.MakeFolder(QStringLiteral("b"));
    tree.WriteFile(QStringLiteral("config/corvane.ini"),
                   "[FolderHistory]\nFolder0000=" + QFile::encodeName(a) +
                       "\n\x01\xff\xfe binary [[ junk\n" + QByteArray(3, '\0') +
                       "\n=\nFolder0001=" + QFile::encodeName(b) +
                       "\n[FolderPickerDialog]\nViewMode=tiles please\n");
    ProfileStore profile(file);
    auto box = LoadedBox(profile);
    EXPECT_EQ(Entries(*box), QStringList({a, b}));
    EXPECT_EQ(profile.ReadInt(QStringLiteral("FolderPickerDialog"), QStringLiteral("ViewMode"), 7),
              0);
    box->AddToHistory(tree.MakeFolder(QStringLiteral("c")));
    box->SaveHistory(false);
    EXPECT_EQ(KeysOnDisk(file).filter(QStringLiteral("Folder")),
              QStringList({"Folder", "Folder0000", "Folder0001", "Folder0002"}));
}

TEST_F(History, AMissingFileAndFolderAreCreatedAtTheFirstSave) {
    ProfileStore profile(file);
    auto box = LoadedBox(profile);
    EXPECT_EQ(box->count(), 0);
    EXPECT_EQ(profile.ReadInt(QStringLiteral("FolderPickerDialog"), QStringLiteral("ViewMode"), 0),
              0);
    box->setEditText(tree.Root());
    box->SaveHistory(true);
    EXPECT_EQ(KeysOnDisk(file), QStringList({"Folder", "Folder0000"}));
}

TEST_F(History, AReadOnlyFileIsLeftAsItWas) {
    const QString a = tree.MakeFolder(QStringLiteral("a"));
    const QByteArray before = "[FolderHistory]\nFolder0000=" + QFile::encodeName(a) + "\n";
    tree.WriteFile(QStringLiteral("config/corvane.ini"), before);
    tree.OpenToEveryone();
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0444), 0);
    const int result = test::RunUnprivileged([&] {
        ProfileStore profile(file);
        if (profile.ReadString(kSection, Key(0)) != a) {
            return 1;
        }
        profile.WriteString(kSection, Key(0), QStringLiteral("/elsewhere"));
        profile.RemoveKey(kSection, Key(1));
        profile.Sync();
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadAll(file), before);
}

TEST(ProfileStore, DefaultLivesInTheUserConfigurationFolder) {
    EXPECT_TRUE(ProfileStore::DefaultPath().endsWith(QStringLiteral("/corvane.ini")));
}

}  // namespace
}  // namespace corvane
