// corvane-batch in English: asked with --lang en or CORVANE_LANG=en, every message it prints is
// English (no Chinese character anywhere), and the JSON report has the same keys, kinds and
// counts as the same run in Chinese; only its readable texts differ.
#include "e2e/batch_harness.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QRegularExpression>

namespace corvane::test {
namespace {

bool HasChinese(const QString& text) {
    static const QRegularExpression han(QStringLiteral("\\p{Han}"));
    return text.contains(han);
}

// The report with its readable texts left out: what every language shares.
QJsonObject WithoutTexts(QJsonObject report) {
    report.remove("verdict");
    QJsonArray notes;
    for (const QJsonValue& note : report.value("notes").toArray()) {
        QJsonObject shared = note.toObject();
        shared.remove("text");
        notes.append(shared);
    }
    report.insert("notes", notes);
    return report;
}

// Sets CORVANE_LANG for the programs the test starts, and puts back the tests' own setting.
class AskedLanguage {
public:
    explicit AskedLanguage(const char* language) { qputenv("CORVANE_LANG", language); }
    ~AskedLanguage() { qputenv("CORVANE_LANG", "zh"); }
};

TEST(BatchLanguage, ARefusalIsInEnglishWhenTheEnvironmentAsks) {
    TempTree tree;
    const AskedLanguage english("en");
    const BatchResult r =
        RunBatch({"--json", "-q", "-o", tree.MakeFolder("out"), tree.Path("none")});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.json.value("outcome").toString(), "refused");
    EXPECT_EQ(r.json.value("verdict").toString(),
              QStringLiteral("Please enter or choose a valid source path."));
    EXPECT_FALSE(HasChinese(r.err)) << r.err.toStdString();
}

TEST(BatchLanguage, AWholeRunSpeaksEnglishAndReportsAsInChinese) {
    TempTree tree;
    WritePicture(tree, "src/a.png", 20, 10);
    WritePicture(tree, "src/b.jpg", 10, 20);
    tree.WriteFile("src/c.png", "not a picture");
    const QStringList arguments = {"--json",        "-f", "png",
                                   "--rotate",      "90", "--on-clash",
                                   "overwrite",     "-o", tree.MakeFolder("out"),
                                   tree.Path("src")};

    const AskedLanguage english("en");  // --lang zh comes before it
    const BatchResult chinese = RunBatch(QStringList{"--lang", "zh"} + arguments);
    const BatchResult r = RunBatch(QStringList{"--lang=en"} + arguments);

    EXPECT_EQ(r.exitCode, chinese.exitCode);
    EXPECT_EQ(WithoutTexts(r.json), WithoutTexts(chinese.json));
    EXPECT_EQ(r.json.value("notes").toArray().size(), 1);
    EXPECT_EQ(chinese.json.value("verdict").toString(), QStringLiteral("操作全部完成！"));
    EXPECT_EQ(r.json.value("verdict").toString(), QStringLiteral("All done!"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("Processed: 3;"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Files without output: 1"))) << r.err.toStdString();
    EXPECT_FALSE(HasChinese(r.err + r.out)) << r.err.toStdString();
}

TEST(BatchLanguage, TheHelpNamesTheWindowsControlsInTheLanguageOfTheMessages) {
    const BatchResult chinese = RunBatch({"--help"});
    EXPECT_TRUE(chinese.out.contains(QStringLiteral("single path (单路径)")));
    const BatchResult english = RunBatch({"--lang", "en", "--help"});
    EXPECT_TRUE(english.out.contains(QStringLiteral("single path (Single)")));
    EXPECT_TRUE(english.out.contains(QStringLiteral("--lang LANG")));
    EXPECT_FALSE(HasChinese(english.out)) << english.out.toStdString();
}

}  // namespace
}  // namespace corvane::test
