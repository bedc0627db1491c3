#include "engine/naming.h"
#include "platform/native_names.h"
#include "platform/path_text.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <unistd.h>

namespace corvane {
namespace {

using test::TempTree;

class NamingTest : public ::testing::Test {
protected:
    NamingTest() {
        settings.savePath = tree.MakeFolder(QStringLiteral("out"));
        settings.clashPrefix = QStringLiteral("_CVN_");
        settings.clashSuffix = QStringLiteral("_CVN");
        settings.nameLengthLimit = 20;
    }
    QString Out(const QString& name) const { return settings.savePath + name; }
    void Touch(const QString& name) const { tree.WriteFile(QStringLiteral("out/") + name); }

    TempTree tree;
    BatchSettings settings;
    OutputNamer namer{settings};
};

TEST_F(NamingTest, ClashTextIsRepeatedAsOftenAsNeeded) {
    EXPECT_EQ(namer.MakeOutputPath(settings.savePath, "cat", ".PNG").path, Out("cat.PNG"));
    Touch("cat.PNG");
    EXPECT_EQ(namer.MakeOutputPath(settings.savePath, "cat", ".PNG").path, Out("_CVN_cat.PNG"));
    Touch("_CVN_cat.PNG");
    EXPECT_EQ(namer.MakeOutputPath(settings.savePath, "cat", ".PNG").path,
              Out("_CVN__CVN_cat.PNG"));

    settings.clashStrategy = ClashStrategy::Suffix;
    EXPECT_EQ(namer.MakeOutputPath(settings.savePath, "cat", ".PNG").path, Out("cat_CVN.PNG"));
    Touch("cat_CVN.PNG");
    EXPECT_EQ(namer.MakeOutputPath(settings.savePath, "cat", ".PNG").path, Out("cat_CVN_CVN.PNG"));
}

TEST_F(NamingTest, AFolderOfTheSameNameAlsoClashes) {
    tree.MakeFolder(QStringLiteral("out/dog.PNG"));
    EXPECT_EQ(namer.MakeOutputPath(settings.savePath, "dog", ".PNG").path, Out("_CVN_dog.PNG"));
}

TEST_F(NamingTest, FoldingStartsAboveTheLimit) {
    const QString exact = QString(16, u'a');  // 16 + ".PNG" = 20
    EXPECT_EQ(namer.MakeOutputPath(settings.savePath, exact, ".PNG").path, Out(exact + ".PNG"));
    const QString longer = QStringLiteral("0123456789abcdefg");  // 21 with the extension
    // Prefix fold: the first 16 characters go, the rest is kept after the label.
    EXPECT_EQ(namer.MakeOutputPath(settings.savePath, longer, ".PNG").path, Out("_CVN_L_1_g.PNG"));
    settings.longNameStrategy = LongNameStrategy::FoldSuffix;
    EXPECT_EQ(namer.MakeOutputPath(settings.savePath, longer, ".PNG").path, Out("0_CVN_L_1.PNG"));
}

TEST_F(NamingTest, PrefixFoldDropsEarlierClashMarkers) {
    settings.nameLengthLimit = 30;
    const QString stem =
        QStringLiteral("_CVN__CVN_") + QString(10, u'x') + QStringLiteral("_CVN__CVN_holiday");
    const QString folded = namer.FoldLongName(Out(stem + ".JPG"), true);
    EXPECT_EQ(folded, Out("_CVN_L_1_holiday.JPG"));
}

TEST_F(NamingTest, SuffixFoldDropsTrailingMarkersAndKeepsTheStart) {
    settings.nameLengthLimit = 30;
    const QString stem = QStringLiteral("holiday_CVN_CVN") + QString(16, u'z');
    EXPECT_EQ(namer.FoldLongName(Out(stem + ".JPG"), false), Out("holiday_CVN_L_1.JPG"));
}

TEST_F(NamingTest, FoldedCoreIsCutToTheLimitAndNumbered) {
    const QString stem = QString(16, u'h') + QString(40, u'c') + QStringLiteral("END");
    const QString first = namer.FoldLongName(Out(stem + ".PNG"), true);
    EXPECT_EQ(first, Out("_CVN_L_1_cEND.PNG"));  // the last 20 - 16 = 4 characters
    Touch("_CVN_L_1_cEND.PNG");
    EXPECT_EQ(namer.FoldLongName(Out(stem + ".PNG"), true), Out("_CVN_L_2_cEND.PNG"));
}

TEST_F(NamingTest, FoldNeverSplitsACharacter) {
    const QString emoji = QString::fromUcs4(U"\U0001F431");
    QString stem;
    for (int i = 0; i < 20; ++i) {
        stem += emoji;  // 40 code units
    }
    const QString folded = FileNamePart(namer.FoldLongName(Out(stem + ".PNG"), true));
    EXPECT_TRUE(folded.isValidUtf16()) << folded.toStdString();
}

TEST_F(NamingTest, AbandonOnlyAboveTheLimitAndNeverWithOverwrite) {
    settings.longNameStrategy = LongNameStrategy::Abandon;
    EXPECT_FALSE(namer.MakeOutputPath(settings.savePath, QString(16, u'a'), ".PNG").abandoned);
    EXPECT_TRUE(namer.MakeOutputPath(settings.savePath, QString(17, u'a'), ".PNG").abandoned);

    settings.clashStrategy = ClashStrategy::Overwrite;
    const OutputPath p = namer.MakeOutputPath(settings.savePath, QString(300, u'a'), ".PNG");
    EXPECT_FALSE(p.abandoned);
    EXPECT_EQ(p.path, Out(QString(300, u'a') + ".PNG"));
    Touch("x.PNG");
    EXPECT_EQ(namer.MakeOutputPath(settings.savePath, "x", ".PNG").path, Out("x.PNG"));
}

TEST_F(NamingTest, StructureCopyStartsAtTheSourceFoldersName) {
    settings.copyFolderStructure = true;
    settings.sourcePath = tree.MakeFolder(QStringLiteral("in/PhotosQ9"));
    const auto folder = namer.OutputFolderFor(settings.sourcePath + QStringLiteral("S/T/f.png"));
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, Out("PhotosQ9/S/T/"));
    EXPECT_TRUE(QFileInfo(*folder).isDir());

    settings.copyFolderStructure = false;
    EXPECT_EQ(*namer.OutputFolderFor(settings.sourcePath + QStringLiteral("S/f.png")),
              settings.savePath);
}

// The relative part is taken from the source folder itself, not from wherever its name first
// appears in the path ("o" appears in "probe" first, "photos" in "photos_old").
TEST_F(NamingTest, RelativePartIsTakenFromTheSourceFolderItself) {
    settings.copyFolderStructure = true;
    for (const QString& source : {QStringLiteral("probe/ks/o"), QStringLiteral("ab/b"),
                                  QStringLiteral("photos_old/photos")}) {
        settings.sourcePath = tree.MakeFolder(source);
        const auto folder = namer.OutputFolderFor(settings.sourcePath + QStringLiteral("s/f.png"));
        ASSERT_TRUE(folder) << source.toStdString();
        EXPECT_EQ(*folder, Out(source.mid(source.lastIndexOf(u'/') + 1) + "/s/"));
    }
}

// Linux allows 255 bytes per name: a Chinese name under the character limit can pass it.
TEST_F(NamingTest, ANameTooLongInBytesFoldsOrIsAbandoned) {
    settings.nameLengthLimit = 218;
    const QString stem = QString(88, QChar(0x732B));  // 88 x 猫: 92 characters, 268 bytes
    const QString folded = FileNamePart(namer.MakeOutputPath(settings.savePath, stem, ".PNG").path);
    EXPECT_EQ(folded, "_CVN_L_1_" + QString(72, QChar(0x732B)) + ".PNG");
    settings.longNameStrategy = LongNameStrategy::FoldSuffix;
    const QString suffixFolded =
        FileNamePart(namer.MakeOutputPath(settings.savePath, stem, ".PNG").path);
    EXPECT_EQ(suffixFolded, QString(72, QChar(0x732B)) + "_CVN_L_1.PNG");
    settings.longNameStrategy = LongNameStrategy::Abandon;
    EXPECT_TRUE(namer.MakeOutputPath(settings.savePath, stem, ".PNG").abandoned);
    EXPECT_FALSE(namer.MakeOutputPath(settings.savePath, stem.left(80), ".PNG").abandoned);
}

TEST_F(NamingTest, AFoldedNameAlwaysFitsTheFileSystem) {
    settings.nameLengthLimit = 218;
    const QString stem = QString(300, QChar(0x732B));
    for (const bool prefix : {true, false}) {
        const QString folded = FileNamePart(namer.FoldLongName(Out(stem + ".PNG"), prefix));
        EXPECT_LE(NativeNameBytes(folded), kMaxNameBytes);
        EXPECT_GT(NativeNameBytes(folded), kMaxNameBytes - 3);  // cut no shorter than needed
        EXPECT_TRUE(folded.contains("_CVN_L_1")) << folded.toStdString();
    }
}

// Many names folding to one core take the counters 1, 2, 3, ... as counting from 1 each time
// would; but a counter found taken is not asked about again, so a run of N such names asks about
// N names and a few more, not N x N / 2 (100,000 names took hours).
TEST_F(NamingTest, FoldingManyNamesToOneCoreAsksAboutEachNameOnce) {
    QSet<QString> existing;
    int questions = 0;
    const OutputNamer counted(settings, [&](const QString& path) {
        ++questions;
        return existing.contains(path);
    });
    constexpr int kNames = 2000;
    for (int i = 1; i <= kNames; ++i) {
        // Names that differ only in the 16 characters the prefix fold drops.
        const QString stem = QStringLiteral("%1_long_common_tail").arg(i, 15, 10, QChar(u'0'));
        const QString folded = counted.FoldLongName(Out(stem + ".PNG"), true);
        ASSERT_EQ(folded, Out(QStringLiteral("_CVN_L_%1_tail.PNG").arg(i)));
        if (i % 2 == 0) {  // every other write fails: its counter stays the first free one
            ASSERT_EQ(counted.FoldLongName(Out(stem + ".PNG"), true), folded);
        }
        existing.insert(folded);
    }
    EXPECT_LE(questions, 3 * kNames);
}

// Overwrite never gives an output the name of a source file the run has not read yet, however
// its folder is spelled; once the source is read, its name is the output's again.
TEST(OutputClaims, AnUnreadSourceIsNeverOverwritten) {
    TempTree tree;
    const PathList sources{tree.WriteFile("src/a.jpg"), tree.WriteFile("src/a.PNG"),
                           tree.WriteFile("src/b.PNG")};
    ASSERT_EQ(::symlink(QFile::encodeName(tree.Path("src")).constData(),
                        QFile::encodeName(tree.Path("alias")).constData()),
              0);
    OutputClaims claims;
    claims.ProtectSources(&sources);
    claims.ReadUpTo(1);
    bool passed = false;
    EXPECT_EQ(claims.ClaimFree(tree.Path("src/a.PNG"), &passed), tree.Path("src/a_1.PNG"));
    EXPECT_TRUE(passed);
    passed = false;
    EXPECT_EQ(claims.ClaimFree(tree.Path("alias/b.PNG"), &passed), tree.Path("alias/b_1.PNG"));
    EXPECT_TRUE(passed);
    claims.ReadUpTo(2);
    passed = false;
    EXPECT_EQ(claims.ClaimFree(tree.Path("src/a.PNG"), &passed), tree.Path("src/a.PNG"));
    EXPECT_FALSE(passed);
    claims.ReadUpTo(3);
    EXPECT_EQ(claims.ClaimFree(tree.Path("alias/b.PNG")), tree.Path("alias/b.PNG"));
}

TEST(OutputClaims, ARunNeverTakesANameItWroteAgain) {
    OutputClaims claims;
    EXPECT_EQ(claims.ClaimFree("/o/x.PNG"), QStringLiteral("/o/x.PNG"));
    EXPECT_EQ(claims.ClaimFree("/o/x.PNG"), QStringLiteral("/o/x_1.PNG"));
    EXPECT_EQ(claims.ClaimFree("/o/x.PNG"), QStringLiteral("/o/x_2.PNG"));
    claims.Release("/o/x_1.PNG");  // nothing was written under it
    EXPECT_EQ(claims.ClaimFree("/o/x.PNG"), QStringLiteral("/o/x_1.PNG"));
    EXPECT_EQ(claims.ClaimFree("/o/y"), QStringLiteral("/o/y"));
    EXPECT_EQ(claims.ClaimFree("/o/y"), QStringLiteral("/o/y_1"));
}

TEST_F(NamingTest, StructureCopyFailsOutsideTheSourceOrWhenBlocked) {
    settings.copyFolderStructure = true;
    settings.sourcePath = QStringLiteral("/nowhere/Zq9/");
    EXPECT_FALSE(namer.OutputFolderFor(tree.Path(QStringLiteral("in/f.png"))));
    settings.sourcePath = tree.MakeFolder(QStringLiteral("Qz7src"));
    Touch("Qz7src");  // a file where the folder should go
    EXPECT_FALSE(namer.OutputFolderFor(settings.sourcePath + QStringLiteral("f.png")));
}

TEST(GroupNames, ThumbsDbNamesNothing) {
    EXPECT_EQ(GroupNameFrom("/p/a.png", "/p/b.png"), QStringLiteral("/p/a.png"));
    EXPECT_EQ(GroupNameFrom("/p/Thumbs.db", "/p/b.png"), QStringLiteral("/p/b.png"));
    EXPECT_EQ(GroupNameFrom("/p/thumbs.db", "/p/b.png"), QStringLiteral("/p/thumbs.db"));
    EXPECT_EQ(InsertCounterBeforeExtension("/o/cat.PNG", 3), QStringLiteral("/o/cat_3.PNG"));
    EXPECT_EQ(InsertCounterBeforeExtension("/o.d/cat", 1), QStringLiteral("/o.d/cat_1"));
}

}  // namespace
}  // namespace corvane
