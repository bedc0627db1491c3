// Metafiles written by other programs (tests/data/metafiles, see its README), rendered by us and
// compared with LibreOffice's rendering of the same file.
//
// LibreOffice places the picture at its frame size in the middle of an A4 page at 96 DPI; the
// middle of the page, at our picture's size, is what we compare with. Text comes out in other
// fonts and edges are anti-aliased differently, so pixels are compared loosely: a drawn pixel of
// one picture counts as reproduced when the other has a pixel of about the same colour within two
// pixels of it.

#include "metafile/metafile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPainter>

namespace corvane {
namespace {

constexpr qint64 kMaxPixels = qint64(1) << 26;
// A pixel is drawn when some channel is this far from the white page.
constexpr int kInk = 48;
// Colours this close count as the same (anti-aliasing mixes edge pixels with the page).
constexpr int kSameColour = 72;
constexpr int kReach = 2;

QString DataPath(const QString& name) {
    return QString(CORVANE_TEST_DATA) + "/metafiles/" + name;
}

QImage OnWhite(const QImage& image) {
    QImage page(image.size(), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.drawImage(0, 0, image);
    return page;
}

int Distance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

bool Drawn(QRgb pixel) {
    return Distance(pixel, qRgb(255, 255, 255)) > kInk;
}

// Share of the drawn pixels of `from` that `in` shows too, nearby and in about the same colour.
double Reproduced(const QImage& from, const QImage& in) {
    qint64 drawn = 0;
    qint64 found = 0;
    for (int y = 0; y < from.height(); ++y) {
        for (int x = 0; x < from.width(); ++x) {
            const QRgb pixel = from.pixel(x, y);
            if (!Drawn(pixel)) {
                continue;
            }
            ++drawn;
            bool near = false;
            for (int dy = -kReach; dy <= kReach && !near; ++dy) {
                for (int dx = -kReach; dx <= kReach && !near; ++dx) {
                    const QPoint at(x + dx, y + dy);
                    near = in.rect().contains(at) && Distance(in.pixel(at), pixel) <= kSameColour;
                }
            }
            found += near ? 1 : 0;
        }
    }
    return drawn == 0 ? 0.0 : double(found) / double(drawn);
}

// Least shares of LibreOffice's drawn pixels that we draw (recall), and of ours that it draws
// (precision). Shapes and bitmaps agree to within a few pixels of edge; what is left is text in
// other fonts (about 1% of the drawn pixels of these drawings, 5% in a plot whose labels are
// most of its ink) and hairlines drawn with or without anti-aliasing. A missing shape, a wrong
// colour, position or size costs far more than these margins.
constexpr double kRecall = 0.95;
constexpr double kPrecision = 0.95;
constexpr double kPrecisionTextHeavy = 0.9;

struct CorpusCase {
    const char* name;
    const char* file;
    QSize size;  // the frame at 96 DPI
    double precision = kPrecision;
};

class MetafileCorpus : public testing::TestWithParam<CorpusCase> {};

TEST_P(MetafileCorpus, DrawsWhatLibreOfficeDraws) {
    const CorpusCase& c = GetParam();
    QFile file(DataPath(c.file));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.file;
    MetafileError why;
    const QImage ours = ReadMetafile(file.readAll(), kMaxPixels, &why);
    const QImage page(DataPath(QString("reference/%1.png").arg(QString(c.file).replace('.', '_'))));
    ASSERT_FALSE(page.isNull());
    const QImage ourPage = OnWhite(ours);
    const QPoint middle((page.width() - ours.width()) / 2, (page.height() - ours.height()) / 2);
    const QImage theirs = OnWhite(page.copy(QRect(middle, ours.size())));
    const double recall = ours.isNull() ? 0 : Reproduced(theirs, ourPage);
    const double precision = ours.isNull() ? 0 : Reproduced(ourPage, theirs);
    // Kept in the XML report (--gtest_output=xml), for comparing runs.
    RecordProperty("recall", QString::number(recall, 'f', 3).toStdString());
    RecordProperty("precision", QString::number(precision, 'f', 3).toStdString());
    EXPECT_EQ(ours.size(), c.size) << qPrintable(why.text);
    EXPECT_GE(recall, kRecall);
    EXPECT_GE(precision, c.precision);
}

INSTANTIATE_TEST_SUITE_P(
    Metafile, MetafileCorpus,
    testing::Values(CorpusCase{"LibreOfficeEmf", "libreoffice_drawing.emf", QSize(424, 273)},
                    CorpusCase{"LibreOfficeWmf", "libreoffice_drawing.wmf", QSize(424, 273)},
                    // Recorded against a 1200 DPI device.
                    CorpusCase{"InkscapeEmf", "inkscape_drawing.emf", QSize(457, 302)},
                    CorpusCase{"InkscapeWmf", "inkscape_drawing.wmf", QSize(453, 302)},
                    CorpusCase{"GnuplotPlot", "gnuplot_plot.emf", QSize(638, 478),
                               kPrecisionTextHeavy},
                    CorpusCase{"GnuplotSurface", "gnuplot_surface.emf", QSize(478, 359)},
                    CorpusCase{"Fig2dev", "fig2dev_shapes.emf", QSize(496, 498)},
                    CorpusCase{"Pstoedit", "pstoedit_figure.emf", QSize(331, 165)}),
    [](const testing::TestParamInfo<CorpusCase>& row) { return row.param.name; });

}  // namespace
}  // namespace corvane
