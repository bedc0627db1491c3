#include "platform/path_text.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

struct PieceRow {
    const char* name;
    const char16_t* path;
    const char16_t* fileName;
    const char16_t* folder;
    const char16_t* stem;
    const char16_t* extension;
};

class PathPieces : public ::testing::TestWithParam<PieceRow> {};

TEST_P(PathPieces, SplitAsDescribed) {
    const PieceRow& row = GetParam();
    const QString path = QString::fromUtf16(row.path);
    EXPECT_EQ(FileNamePart(path), QString::fromUtf16(row.fileName));
    EXPECT_EQ(FolderPart(path), QString::fromUtf16(row.folder));
    EXPECT_EQ(FileStem(path), QString::fromUtf16(row.stem));
    EXPECT_EQ(FileExtension(path), QString::fromUtf16(row.extension));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PathPieces,
    ::testing::Values(
        PieceRow{"PlainName", u"/a/b/photo.jpg", u"photo.jpg", u"/a/b/", u"photo", u".jpg"},
        PieceRow{"TwoDots", u"/a/b/archive.tar.gz", u"archive.tar.gz", u"/a/b/", u"archive.tar",
                 u".gz"},
        PieceRow{"NoFolder", u"photo.JPEG", u"photo.JPEG", u"", u"photo", u".JPEG"},
        PieceRow{"Empty", u"", u"", u"", u"", u""},
        PieceRow{"FolderOnly", u"/a/b/", u"", u"/a/b/", u"", u""},
        // A name without a dot keeps its name as stem; a dot in a folder is no
        // extension.
        PieceRow{"DotInFolder", u"/a.d/README", u"README", u"/a.d/", u"README", u""},
        PieceRow{"HiddenName", u"/a/.hidden", u".hidden", u"/a/", u"", u".hidden"},
        PieceRow{"ChineseWithSpace", u"/照片/猫 1.png", u"猫 1.png", u"/照片/", u"猫 1", u".png"}),
    test::kRowName);

TEST(NormalizeFolderPath, TrimsCollapsesAndEndsWithOneSeparator) {
    EXPECT_EQ(NormalizeFolderPath(QStringLiteral("  //data//photos  ")),
              QStringLiteral("/data/photos/"));
    EXPECT_EQ(NormalizeFolderPath(QStringLiteral("/data/photos///")),
              QStringLiteral("/data/photos/"));
    EXPECT_EQ(NormalizeFolderPath(QStringLiteral("/data/photos/")),
              QStringLiteral("/data/photos/"));
    EXPECT_EQ(NormalizeFolderPath(QString()), QStringLiteral("/"));
    // Only spaces are trimmed, and inner spaces stay.
    EXPECT_EQ(NormalizeFolderPath(QStringLiteral(" /my photos ")), QStringLiteral("/my photos/"));
}

TEST(DriveColonRule, OnlyTheSecondColonBecomesDriveText) {
    EXPECT_EQ(ReplaceSecondDriveColon(QStringLiteral("D:\\Save\\C:\\Photos\\")),
              QStringLiteral("D:\\Save\\C_Drive\\Photos\\"));
    EXPECT_EQ(ReplaceSecondDriveColon(QStringLiteral("D:\\Save\\a:b:c")),
              QStringLiteral("D:\\Save\\a_Driveb:c"));
    EXPECT_EQ(ReplaceSecondDriveColon(QStringLiteral("D:\\Save\\")), QStringLiteral("D:\\Save\\"));
    EXPECT_EQ(ReplaceSecondDriveColon(QStringLiteral("/no/colon")), QStringLiteral("/no/colon"));
}

TEST(Utf16Cuts, NeverSplitASurrogatePair) {
    const QString text =
        QStringLiteral("ab") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("cd");
    ASSERT_EQ(text.size(), 6);
    EXPECT_EQ(LeftUnits(text, 3), QStringLiteral("ab"));  // would end inside the emoji
    EXPECT_EQ(LeftUnits(text, 4).size(), 4);
    EXPECT_EQ(RightUnits(text, 3), QStringLiteral("cd"));  // would start inside the emoji
    EXPECT_EQ(RightUnits(text, 4).size(), 4);
    EXPECT_EQ(LeftUnits(text, 0), QString());
    EXPECT_EQ(RightUnits(text, 99), text);
}

}  // namespace
}  // namespace corvane
