// --files-from: a list of source files from a file or standard input, as a pipeline holds it,
// gives the run that the same files named as arguments give.
#include "e2e/batch_harness.h"

#include "platform/native_names.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QProcess>

namespace corvane::test {
namespace {

struct ListRow {
    const char* name;
    char separator;
    bool standardInput;
    bool lineBreakInAName;  // only a NUL-separated list can carry one
};

class FilesFrom : public ::testing::TestWithParam<ListRow> {};

TEST_P(FilesFrom, ListedFilesRunAsIfNamedOnTheCommandLine) {
    const ListRow& row = GetParam();
    TempTree tree;
    QList<QByteArray> names{"src/a.png", "src/sub/b b.jpg", "src/sub/\xd6\xd0\xce\xc4.png",
                            "src/.hidden.png", "src/notes.txt"};
    if (row.lineBreakInAName) {
        names << "src/line\nbreak.png";
    }
    const QByteArray picture = ReadAll(WritePicture(tree, "picture.png", 9, 7));
    QStringList paths;
    QByteArray list;
    for (const QByteArray& name : names) {
        ASSERT_TRUE(tree.WriteRawName(name, name.endsWith(".txt") ? "text" : picture));
        paths << tree.Root() + DecodeNativeName(std::string_view(name.constData(), name.size()));
        // Relative names are taken from the current folder; empty entries are skipped.
        list += (paths.size() % 2 ? EncodeNativeName(tree.Root()) : QByteArray()) + name;
        list += QByteArray(2, row.separator);
    }
    const QString listFile = tree.WriteFile("list", list);
    const QStringList options{"-q", "--json", "-f", "png", "-o"};

    const BatchResult named = RunBatch(options + QStringList{tree.MakeFolder("named")} + paths);
    QProcess listed;
    listed.setWorkingDirectory(tree.Root());
    listed.setProgram(CORVANE_BATCH);
    listed.setArguments(options + QStringList{tree.MakeFolder("listed"), "--files-from",
                                              row.standardInput ? "-" : listFile});
    if (row.standardInput) {
        listed.setStandardInputFile(listFile);
    }
    listed.start();
    ASSERT_TRUE(listed.waitForFinished(120'000));
    const QJsonObject report =
        QJsonDocument::fromJson(listed.readAllStandardOutput().trimmed()).object();

    EXPECT_EQ(listed.exitCode(), named.exitCode) << listed.readAllStandardError().toStdString();
    EXPECT_EQ(report.value("total").toInt(), names.size());
    EXPECT_EQ(report, named.json);
    EXPECT_EQ(TreeBelow(tree.Path("listed")), TreeBelow(tree.Path("named")));
    EXPECT_FALSE(TreeBelow(tree.Path("listed")).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FilesFrom,
    ::testing::Values(ListRow{"NUL separated", '\0', false, true},
                      ListRow{"line separated", '\n', false, false},
                      ListRow{"NUL separated on standard input", '\0', true, true},
                      ListRow{"line separated on standard input", '\n', true, false}),
    test::kRowName);

TEST(FilesFrom, AListThatCannotBeReadIsRefused) {
    TempTree tree;
    const BatchResult result = RunBatch({"-q", "-f", "png", "-o", tree.MakeFolder("out"),
                                         "--files-from", tree.Path("no-such-list")});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_TRUE(result.err.contains("--files-from")) << result.err.toStdString();
    EXPECT_TRUE(TreeBelow(tree.Path("out")).isEmpty());
}

}  // namespace
}  // namespace corvane::test
