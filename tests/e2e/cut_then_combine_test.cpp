// Cut-then-combine runs show and write what they did when every tile of a run waited for the end
// of the run: the same progress lines (counts, combined tiles, percentages), the same verdict,
// and the same files byte for byte, with one worker and with four. The expected texts in
// tests/data/cut_then_combine were made by make_expected.py beside them, with corvane-batch as it
// was then; each mosaic is now written as soon as its tiles are known.
#include "e2e/batch_harness.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QtEndian>

namespace corvane::test {
namespace {

// A 24-bit BMP whose every pixel tells where it came from, byte for byte as make_expected.py
// writes it.
QByteArray Bmp(int width, int height, int seed) {
    const int stride = (width * 3 + 3) / 4 * 4;
    QByteArray data;
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < width; ++x) {
            row += char((seed * 70 + x * y) & 255);
            row += char((y * 13 + seed) & 255);
            row += char((x * 9 + seed * 40) & 255);
        }
        data += row + QByteArray(stride - row.size(), '\0');
    }
    QByteArray header(54, '\0');
    char* h = header.data();
    h[0] = 'B';
    h[1] = 'M';
    qToLittleEndian<quint32>(54 + data.size(), h + 2);
    qToLittleEndian<quint32>(54, h + 10);
    qToLittleEndian<quint32>(40, h + 14);
    qToLittleEndian<qint32>(width, h + 18);
    qToLittleEndian<qint32>(height, h + 22);
    qToLittleEndian<quint16>(1, h + 26);
    qToLittleEndian<quint16>(24, h + 28);
    qToLittleEndian<quint32>(data.size(), h + 34);
    qToLittleEndian<qint32>(2835, h + 38);
    qToLittleEndian<qint32>(2835, h + 42);
    return header + data;
}

struct Row {
    const char* name;
    QStringList arguments;
    const char* extension;
    bool inPlace;  // the output folder is the source folder
};

class CutThenCombine : public testing::TestWithParam<Row> {};

// What a run showed and left, as make_expected.py writes it down.
QString Described(const BatchResult& r, const QString& out) {
    QString text = QStringLiteral("exit %1\n").arg(r.exitCode) + r.out + QStringLiteral("--\n");
    for (const QString& name : QDir(out).entryList(QDir::Files, QDir::Name)) {
        const QByteArray sha =
            QCryptographicHash::hash(ReadAll(out + name), QCryptographicHash::Sha1);
        text += name + u' ' + QString::fromLatin1(sha.toHex()) + u'\n';
    }
    return text;
}

TEST_P(CutThenCombine, ShowsAndWritesWhatItAlwaysDid) {
    const Row& row = GetParam();
    QFile file(QStringLiteral(CORVANE_TEST_DATA "/cut_then_combine/%1.txt").arg(row.name));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString expected = QString::fromUtf8(file.readAll());
    const QSize sizes[] = {{40, 20}, {30, 30}, {20, 10}, {24, 16}, {16, 12}};
    for (const char* workers : {"1", "4"}) {
        SCOPED_TRACE(std::string("workers ") + workers);
        TempTree tree;
        int seed = 0;
        for (const char* stem : {"a", "b", "c", "d", "e"}) {
            const QSize size = sizes[seed];
            tree.WriteFile(QStringLiteral("src/%1%2").arg(stem, row.extension),
                           Bmp(size.width(), size.height(), ++seed));
        }
        tree.WriteFile("src/c2.txt", "not a picture");
        const QString source = tree.Path("src");
        const QString out = row.inPlace ? tree.Path("src/") : tree.MakeFolder("out");
        const BatchResult r = RunBatch(QStringList{"--threads", workers} + row.arguments +
                                       QStringList{"-o", out, source});
        EXPECT_EQ(Described(r, out).toStdString(), expected.toStdString());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CutThenCombine,
    testing::Values(
        Row{"CutByCount", {"--cut", "2x1", "--combine", "2x2", "-f", "png,bmp"}, ".bmp", false},
        Row{"CutByCell",
            {"--cut-cell", "16x16", "--combine", "3x2", "-f", "png,bmp"},
            ".bmp",
            false},
        // The second mosaic is named after the second file, not read yet when the mosaic is made:
        // it waits until that file is read, then replaces it as before.
        Row{"OverwritingItsSources",
            {"--cut", "2x1", "--combine", "1x1", "-f", "bmp", "--on-clash", "overwrite"},
            ".BMP",
            true},
        // Mosaics take the format of the run's last picture, so they wait for the end.
        Row{"SameFormatAsTheSources",
            {"--cut", "2x2", "--combine", "3x1", "--same-format"},
            ".bmp",
            false}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace corvane::test
