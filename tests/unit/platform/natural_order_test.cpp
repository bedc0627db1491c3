#include "platform/natural_order.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <algorithm>
#include <random>

namespace corvane {
namespace {

TEST(NaturalOrder, DigitRunsByValueAndCaseInsensitive) {
    EXPECT_TRUE(NaturalLess(QStringLiteral("img2.png"), QStringLiteral("img10.png")));
    EXPECT_FALSE(NaturalLess(QStringLiteral("img10.png"), QStringLiteral("img2.png")));
    EXPECT_TRUE(NaturalLess(QStringLiteral("Apple"), QStringLiteral("banana")));
    EXPECT_TRUE(NaturalLess(QStringLiteral("apple"), QStringLiteral("Banana")));
    EXPECT_TRUE(NaturalLess(QStringLiteral("a9b"), QStringLiteral("a10a")));
    EXPECT_TRUE(NaturalLess(QStringLiteral("/p/9.jpg"), QStringLiteral("/p/10.jpg")));
    EXPECT_TRUE(NaturalLess(QStringLiteral("x"), QStringLiteral("x1")));
    // Long runs beyond any integer type still compare by value.
    EXPECT_TRUE(NaturalLess(QStringLiteral("n99999999999999999999"),
                            QStringLiteral("n100000000000000000000")));
}

TEST(NaturalOrder, EqualLookingTextsGetAFixedOrder) {
    const QString a = QStringLiteral("File1");
    const QString b = QStringLiteral("file1");
    const QString c = QStringLiteral("file01");
    for (const auto& [x, y] : {std::pair{a, b}, std::pair{a, c}, std::pair{b, c}}) {
        EXPECT_NE(NaturalCompare(x, y), 0);
        EXPECT_EQ(NaturalCompare(x, y), -NaturalCompare(y, x));
    }
    EXPECT_EQ(NaturalCompare(a, a), 0);
}

TEST(NaturalOrder, ThousandNumberedNamesSortByNumberWhateverTheStartOrder) {
    QStringList expected;
    for (int i = 1; i <= 1000; ++i) {
        expected << QStringLiteral("%1.png").arg(i);
    }
    QStringList shuffled = expected;
    std::mt19937 random(7);
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    std::sort(shuffled.begin(), shuffled.end(), NaturalLess);
    EXPECT_EQ(shuffled, expected);
}

TEST(NaturalOrder, SortingIsDeterministicForTiesOfCase) {
    QStringList names = {QStringLiteral("b"),   QStringLiteral("B"),    QStringLiteral("a1"),
                         QStringLiteral("A01"), QStringLiteral("a001"), QStringLiteral("A1")};
    QStringList first = names;
    std::sort(first.begin(), first.end(), NaturalLess);
    std::mt19937 random(3);
    for (int round = 0; round < 20; ++round) {
        std::shuffle(names.begin(), names.end(), random);
        QStringList again = names;
        std::sort(again.begin(), again.end(), NaturalLess);
        EXPECT_EQ(again, first);
    }
}

}  // namespace
}  // namespace corvane
