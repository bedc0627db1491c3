#include "platform/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>

namespace corvane {
namespace {

TEST(NumberText, CleaningRemovesEverySpaceAndTrims) {
    EXPECT_EQ(CleanNumberText(QStringLiteral(" 2 5 ")), QStringLiteral("25"));
    EXPECT_EQ(CleanNumberText(QStringLiteral("1 000")), QStringLiteral("1000"));
    EXPECT_EQ(CleanNumberText(QStringLiteral("\t0.5\n")), QStringLiteral("0.5"));
}

TEST(NumberText, LeadingIntegerLikeTheCLibrary) {
    EXPECT_EQ(ParseLeadingInt(QStringLiteral("25")), 25);
    EXPECT_EQ(ParseLeadingInt(QStringLiteral("12abc")), 12);
    EXPECT_EQ(ParseLeadingInt(QStringLiteral("abc")), 0);
    EXPECT_EQ(ParseLeadingInt(QString()), 0);
    EXPECT_EQ(ParseLeadingInt(QStringLiteral("-5")), -5);
    EXPECT_EQ(ParseLeadingInt(QStringLiteral("+7")), 7);
    EXPECT_EQ(ParseLeadingInt(QStringLiteral("1.9")), 1);
    EXPECT_EQ(ParseLeadingInt(QStringLiteral("99999999999999")), 2147483647);
    EXPECT_EQ(ParseLeadingInt(QStringLiteral("-99999999999999")), -2147483647 - 1);
}

TEST(NumberText, RealNumbersUseTheLongestNumericPrefix) {
    EXPECT_DOUBLE_EQ(ParseLeadingReal(QStringLiteral("0.5")), 0.5);
    EXPECT_DOUBLE_EQ(ParseLeadingReal(QStringLiteral("61.80")), 61.8);
    EXPECT_DOUBLE_EQ(ParseLeadingReal(QStringLiteral("2x")), 2.0);
    EXPECT_DOUBLE_EQ(ParseLeadingReal(QStringLiteral("1e3")), 1000.0);
    EXPECT_DOUBLE_EQ(ParseLeadingReal(QStringLiteral("-30")), -30.0);
    EXPECT_DOUBLE_EQ(ParseLeadingReal(QStringLiteral(".25")), 0.25);
    EXPECT_DOUBLE_EQ(ParseLeadingReal(QStringLiteral("abc")), 0.0);
    EXPECT_DOUBLE_EQ(ParseLeadingReal(QStringLiteral("-")), 0.0);
    EXPECT_DOUBLE_EQ(ParseLeadingReal(QStringLiteral("1e-999")), 0.0);
    EXPECT_TRUE(std::isinf(ParseLeadingReal(QStringLiteral("1e999"))));
    // Words the conversion would take as numbers are none: a rotation by "nan" is no rotation.
    for (const char* word : {"nan", "-nan", "inf", "+Infinity", "NAN(1)"}) {
        EXPECT_DOUBLE_EQ(ParseLeadingReal(QString::fromLatin1(word)), 0.0) << word;
    }
}

// Under a locale whose decimal point is a comma, the C library reads "0.5" as 0. The dialog's
// numbers always use ".", whatever the user's locale.
TEST(NumberText, RealNumbersIgnoreTheUsersLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string restore = previous != nullptr ? previous : "C";
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (scripts/setup generates it)";
    }
    EXPECT_DOUBLE_EQ(std::strtod("0.5", nullptr), 0.0);  // the fault this guards against
    EXPECT_DOUBLE_EQ(ParseLeadingReal(QStringLiteral("0.5")), 0.5);
    EXPECT_DOUBLE_EQ(ParseLeadingReal(QStringLiteral("12.5")), 12.5);
    std::setlocale(LC_ALL, restore.c_str());
}

}  // namespace
}  // namespace corvane
