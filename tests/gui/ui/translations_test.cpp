// The program's language: in Chinese, Qt's own texts (the colour dialog, the file dialog, a text
// field's context menu) speak Chinese too; in English ours come from our catalogue and Qt's are its
// own. The texts the design writes in English (the link's) stay as they are in both.
#include "controls/url_label.h"
#include "engine/report.h"
#include "form_rules/language.h"

#include <gtest/gtest.h>

#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include <memory>

namespace corvane {
namespace {

QStringList ActionTexts(QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions()) {
        texts.append(action->text().section(u'\t', 0, 0));
    }
    return texts;
}

TEST(Translations, ChineseGivesQtsDialogsAndMenusInChinese) {
    const Translations translations(Language::Chinese);
    ASSERT_TRUE(translations.HasQtTexts()) << "qtbase_zh_CN.qm (qt6-translations-l10n)";

    QColorDialog colours;
    EXPECT_EQ(colours.windowTitle(), QStringLiteral("选择颜色"));

    QLineEdit edit;
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    const QStringList actions = ActionTexts(*menu);
    EXPECT_TRUE(actions.contains(QStringLiteral("撤消(&U)"))) << actions.join(u',').toStdString();
    EXPECT_TRUE(actions.contains(QStringLiteral("粘贴(&P)")));

    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    QStringList labels;
    for (const QLabel* label : files.findChildren<QLabel*>()) {
        labels.append(label->text());
    }
    EXPECT_TRUE(labels.contains(QStringLiteral("查找范围："))) << labels.join(u',').toStdString();

    EXPECT_EQ(HyperlinkFailureMessage(2),
              QStringLiteral("Unable to open hyperlink:\n\nThe specified file was not found."))
        << "our own English texts are not translated";
}

TEST(Translations, EnglishGivesOurTextsInEnglishAndLeavesQtsOwnAlone) {
    {
        const Translations english(Language::English);
        ASSERT_TRUE(english.HasOwnTexts())
            << "corvane_en.qm in " << CatalogueFolders().join(u' ').toStdString();
        EXPECT_FALSE(english.HasQtTexts());
        EXPECT_EQ(QString(texts::kStart), QStringLiteral("Start"));
        EXPECT_EQ(QColorDialog().windowTitle(), QStringLiteral("Select Color"));
        EXPECT_EQ(HyperlinkFailureMessage(2),
                  QStringLiteral("Unable to open hyperlink:\n\nThe specified file was not found."));
    }
    EXPECT_EQ(QString(texts::kStart), QStringLiteral("开  始")) << "gone with the object";
}

}  // namespace
}  // namespace corvane
