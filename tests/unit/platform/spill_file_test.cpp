// A spill file holds bytes where no one sees them and gives every one of them back, to a file
// (within the kernel) or to any other device.
#include "platform/spill_file.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>

#include <random>

namespace corvane {
namespace {

QByteArray Noise(int size) {
    std::mt19937 random(7);
    QByteArray bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random());
    }
    return bytes;
}

TEST(SpillFile, GivesBackEveryByteAndIsNeverSeenInItsFolder) {
    test::TempTree tree;
    const QString folder = tree.MakeFolder("out");
    const QByteArray bytes = Noise(3 * 1024 * 1024 + 17);  // more than one step of the copy
    auto spill = SpillFile::Create(folder);
    ASSERT_NE(spill, nullptr);
    ASSERT_EQ(spill->Device()->write(bytes), bytes.size());
    EXPECT_EQ(spill->Size(), bytes.size());
    EXPECT_TRUE(
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());

    QFile file(tree.Path("out/copy"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.write("head", 4) == 4);  // the copy goes on from the device's position
    EXPECT_TRUE(spill->CopyTo(&file));
    file.close();
    QByteArray memory;
    QBuffer buffer(&memory);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(spill->CopyTo(&buffer));
    EXPECT_EQ(memory, bytes);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "head" + bytes);
    spill.reset();
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"copy"});
}

TEST(SpillFile, IsNotMadeWhereItCannotBe) {
    test::TempTree tree;
    EXPECT_EQ(SpillFile::Create(tree.Path("missing")), nullptr);
    tree.WriteFile("plain", "not a folder");
    EXPECT_EQ(SpillFile::Create(tree.Path("plain")), nullptr);
}

}  // namespace
}  // namespace corvane
