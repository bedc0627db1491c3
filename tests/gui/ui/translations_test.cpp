// Qt's own texts follow the user's language: under a Chinese locale the colour dialog, the file
// dialog and a text field's context menu speak Chinese; under English nothing is installed. Our
// own English texts (the folder picker's, the link's) are not Qt's and stay as they are.
#include "ui/translations.h"
#include "controls/url_label.h"

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

TEST(Translations, AChineseLocaleGivesQtsDialogsAndMenusInChinese) {
    const Translations translations(QLocale(QLocale::Chinese, QLocale::China));
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

TEST(Translations, EnglishInstallsNothingAndGoingAwayRemovesTheCatalogue) {
    {
        const Translations english(QLocale(QLocale::English, QLocale::UnitedStates));
        EXPECT_FALSE(english.HasQtTexts());
        EXPECT_EQ(QColorDialog().windowTitle(), QStringLiteral("Select Color"));
        const Translations chinese(QLocale(QLocale::Chinese, QLocale::China));
    }
    EXPECT_EQ(QColorDialog().windowTitle(), QStringLiteral("Select Color"));
}

}  // namespace
}  // namespace corvane
