// Playback of the drawing records of EMF, WMF and EMF+, one family at a time: tiny files built
// field by field, drawn, and probed at points well inside or well outside what they draw, so that
// anti-aliased edges do not matter. Also the frame size rule, the reasons given for files that
// give no picture, and the bound on the drawing work of one file.

#include "metafile/metafile.h"
#include "support/metafile_records.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include <initializer_list>
#include <vector>

namespace corvane {
namespace {

using namespace metafile_test;

constexpr qint64 kMaxPixels = qint64(1) << 24;
constexpr QRgb kClear = 0;
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kWhite = 0xFFFFFFFF;

// --- fields ------------------------------------------------------------------------------------

// COLORREF 0x00BBGGRR of an ARGB colour.
qint32 Ref(QRgb colour) {
    return qint32(qRed(colour) | qGreen(colour) << 8 | qBlue(colour) << 16);
}

// --- EMF records -------------------------------------------------------------------------------

QByteArray Rec(quint32 type, std::initializer_list<qint32> fields) {
    return EmfRecord(type, Ints(fields));
}

// A solid pen (width in logical units) and a brush, created in slots 1 and 2 and selected.
std::vector<QByteArray> PenAndBrush(QRgb pen, int width, QRgb brush) {
    return {Rec(38, {1, 0, width, 0, Ref(pen)}), Rec(37, {1}), Rec(39, {2, 0, Ref(brush), 0}),
            Rec(37, {2})};
}

// NULL_PEN and a solid brush: shapes are filled only.
std::vector<QByteArray> FillOnly(QRgb brush) {
    return {Rec(37, {qint32(0x80000008)}), Rec(39, {2, 0, Ref(brush), 0}), Rec(37, {2})};
}

QByteArray Poly(quint32 type, std::initializer_list<qint32> xy) {
    QByteArray fields = Ints({0, 0, 0, 0, qint32(xy.size() / 2)});
    const bool sixteen = type >= 85;
    for (qint32 v : xy) {
        fields += sixteen ? Shorts({qint16(v)}) : Ints({v});
    }
    return EmfRecord(type, fields);
}

QByteArray EmfOf(std::vector<QByteArray> setup, const std::vector<QByteArray>& more,
                 QSize frame = QSize(100, 100)) {
    setup.insert(setup.end(), more.begin(), more.end());
    return Emf(frame, setup);
}

// --- probing -----------------------------------------------------------------------------------

struct Probe {
    QPoint at;
    QRgb colour;
};

struct PlaybackCase {
    const char* name;
    QByteArray file;
    std::vector<Probe> probes;
};

class MetafilePlayback : public testing::TestWithParam<PlaybackCase> {};

int Distance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}

TEST_P(MetafilePlayback, DrawsWhereTheRecordsSay) {
    MetafileError why;
    const QImage image = ReadMetafile(GetParam().file, kMaxPixels, &why);
    ASSERT_FALSE(image.isNull()) << qPrintable(why.text);
    for (const Probe& probe : GetParam().probes) {
        const QRgb pixel = image.pixel(probe.at);
        EXPECT_LE(Distance(pixel, probe.colour), 8)
            << "at " << probe.at.x() << "," << probe.at.y() << ": " << std::hex << pixel
            << " instead of " << probe.colour;
    }
}

std::vector<PlaybackCase> EmfShapeCases() {
    return {
        {"LineToWithAWidePen",
         EmfOf(PenAndBrush(kRed, 6, kWhite), {Rec(27, {10, 50}), Rec(54, {90, 50})}),
         {{{50, 50}, kRed}, {{50, 40}, kClear}, {{5, 50}, kClear}}},
        {"Polyline32",
         EmfOf(PenAndBrush(kBlue, 6, kWhite), {Poly(4, {10, 20, 90, 20, 90, 80})}),
         {{{50, 20}, kBlue}, {{90, 50}, kBlue}, {{50, 50}, kClear}}},
        {"Polyline16",
         EmfOf(PenAndBrush(kBlue, 6, kWhite), {Poly(87, {10, 20, 90, 20, 90, 80})}),
         {{{50, 20}, kBlue}, {{90, 50}, kBlue}, {{50, 50}, kClear}}},
        {"Polygon32",
         EmfOf(FillOnly(kGreen), {Poly(3, {10, 10, 90, 10, 10, 90})}),
         {{{20, 20}, kGreen}, {{80, 80}, kClear}}},
        {"Polygon16",
         EmfOf(FillOnly(kGreen), {Poly(86, {10, 10, 90, 10, 10, 90})}),
         {{{20, 20}, kGreen}, {{80, 80}, kClear}}},
        {"PolyPolygonAlternateLeavesTheHole",
         EmfOf(FillOnly(kRed),
               {EmfRecord(8, Ints({0,  0,  0,  0,  2,  8,  4,  4,  10, 10, 90, 10,
                                   90, 90, 10, 90, 30, 30, 70, 30, 70, 70, 30, 70}))}),
         {{{20, 20}, kRed}, {{50, 50}, kClear}}},
        {"PolyPolygon16WindingFillsTheHole",
         EmfOf(FillOnly(kRed),
               {Rec(19, {2}), EmfRecord(91, Ints({0, 0, 0, 0, 2, 8, 4, 4}) +
                                                Shorts({10, 10, 90, 10, 90, 90, 10, 90, 30, 30, 70,
                                                        30, 70, 70, 30, 70}))}),
         {{{20, 20}, kRed}, {{50, 50}, kRed}}},
        {"RectangleFilledAndOutlined",
         EmfOf(PenAndBrush(kBlack, 4, kBlue), {Rec(43, {10, 10, 90, 90})}),
         {{{50, 50}, kBlue}, {{10, 50}, kBlack}, {{95, 95}, kClear}}},
        {"RoundRectLeavesItsCorners",
         EmfOf(FillOnly(kBlue), {Rec(44, {0, 0, 100, 100, 60, 60})}),
         {{{50, 50}, kBlue}, {{3, 3}, kClear}, {{50, 3}, kBlue}}},
        {"EllipseLeavesItsCorners",
         EmfOf(FillOnly(kGreen), {Rec(42, {0, 0, 100, 100})}),
         {{{50, 50}, kGreen}, {{8, 8}, kClear}, {{50, 5}, kGreen}}},
        {"PieAnticlockwiseFromEastToNorth",
         EmfOf(FillOnly(kRed), {Rec(47, {0, 0, 100, 100, 100, 50, 50, 0})}),
         {{{75, 25}, kRed}, {{25, 25}, kClear}, {{75, 75}, kClear}}},
        {"PieClockwise",
         EmfOf(FillOnly(kRed), {Rec(57, {2}), Rec(47, {0, 0, 100, 100, 100, 50, 50, 0})}),
         {{{75, 25}, kClear}, {{25, 75}, kRed}}},
        {"ChordIsCutByItsChord",
         EmfOf(FillOnly(kBlue), {Rec(46, {0, 0, 100, 100, 100, 50, 0, 50})}),
         {{{50, 20}, kBlue}, {{50, 80}, kClear}}},
        {"ArcIsOnlyStroked",
         EmfOf(PenAndBrush(kRed, 6, kBlue), {Rec(45, {0, 0, 100, 100, 100, 50, 0, 50})}),
         {{{50, 1}, kRed}, {{50, 30}, kClear}}},
        {"BezierPathFilled",
         EmfOf(FillOnly(kGreen), {Rec(59, {}), Rec(27, {10, 90}), Poly(5, {10, 10, 90, 10, 90, 90}),
                                  Rec(61, {}), Rec(60, {}), Rec(62, {})}),
         {{{50, 60}, kGreen}, {{50, 95}, kClear}}},
        {"PathStrokeAndFill",
         EmfOf(PenAndBrush(kBlack, 6, kRed),
               {Rec(59, {}), Rec(43, {20, 20, 80, 80}), Rec(60, {}), Rec(63, {})}),
         {{{50, 50}, kRed}, {{20, 50}, kBlack}, {{5, 5}, kClear}}},
        {"PolyDrawLinesAndClose",
         EmfOf(FillOnly(kBlue), {Rec(59, {}),
                                 EmfRecord(56, Ints({0, 0, 0, 0, 3, 10, 10, 90, 10, 10, 90}) +
                                                   QByteArray::fromHex("06020300")),
                                 Rec(60, {}), Rec(62, {})}),
         {{{20, 20}, kBlue}, {{80, 80}, kClear}}},
        {"SetPixel", EmfOf({}, {Rec(15, {40, 40, Ref(kRed)})}), {{{40, 40}, kRed}}},
        {"BitBltWithoutABitmapFillsWithTheBrush",
         EmfOf(FillOnly(kGreen),
               {EmfRecord(76, Ints({0, 0, 0, 0, 10, 10, 50, 50, qint32(0x00F00021), 0, 0}) +
                                  Floats({1, 0, 0, 1, 0, 0}) + Ints({0, 0, 0, 0, 0, 0}))}),
         {{{30, 30}, kGreen}, {{80, 80}, kClear}}},
    };
}

std::vector<PlaybackCase> EmfStateCases() {
    const QByteArray square = Rec(43, {0, 0, 100, 100});
    return {
        {"StockNullBrushLeavesTheInside",
         EmfOf(PenAndBrush(kBlack, 4, kRed), {Rec(37, {qint32(0x80000005)}), square}),
         {{{50, 50}, kClear}, {{1, 50}, kBlack}}},
        {"StockBlackBrush",
         EmfOf(FillOnly(kRed), {Rec(37, {qint32(0x80000004)}), square}),
         {{{50, 50}, kBlack}}},
        {"DeletedObjectLeavesTheSelectionAlone",
         EmfOf(FillOnly(kRed), {Rec(40, {2}), Rec(37, {2}), square}),
         {{{50, 50}, kRed}}},
        {"RestoreDcBringsBackTheBrush",
         EmfOf(FillOnly(kRed),
               {Rec(33, {}), Rec(39, {3, 0, Ref(kBlue), 0}), Rec(37, {3}), Rec(34, {-1}), square}),
         {{{50, 50}, kRed}}},
        {"Rop2BlackPaintsBlack",
         EmfOf(FillOnly(kRed), {Rec(20, {1}), square}),
         {{{50, 50}, kBlack}}},
        {"Rop2NopPaintsNothing",
         EmfOf(FillOnly(kRed), {Rec(20, {11}), square, Rec(20, {13}), Rec(43, {0, 0, 10, 10})}),
         {{{50, 50}, kClear}, {{5, 5}, kRed}}},
        {"HatchBrushOnATransparentBackground",
         EmfOf({Rec(37, {qint32(0x80000008)}), Rec(39, {2, 2, Ref(kBlue), 4}), Rec(37, {2}),
                Rec(18, {1})},
               {square}),
         {{{50, 10}, kClear}}},
        {"IntersectClipRect",
         EmfOf(FillOnly(kRed), {Rec(30, {0, 0, 50, 100}), square}),
         {{{25, 50}, kRed}, {{75, 50}, kClear}}},
        {"ExcludeClipRect",
         EmfOf(FillOnly(kRed), {Rec(29, {25, 25, 75, 75}), square}),
         {{{10, 10}, kRed}, {{50, 50}, kClear}}},
        {"RestoreDcBringsBackTheClip",
         EmfOf(FillOnly(kRed), {Rec(33, {}), Rec(30, {0, 0, 10, 10}), Rec(34, {1}), square}),
         {{{50, 50}, kRed}}},
        {"ExtSelectClipRgnWithRectangles",
         EmfOf(FillOnly(kRed), {EmfRecord(75, Ints({64, 5, 32, 1, 2, 32, 0, 0, 100, 100, 0, 0, 50,
                                                    50, 50, 50, 100, 100})),
                                square}),
         {{{25, 25}, kRed}, {{75, 75}, kRed}, {{75, 25}, kClear}}},
        {"SelectClipPath",
         EmfOf(FillOnly(kRed),
               {Rec(59, {}), Rec(42, {0, 0, 100, 100}), Rec(60, {}), Rec(67, {5}), square}),
         {{{50, 50}, kRed}, {{3, 3}, kClear}}},
        {"FillRgnWithABrushObject",
         EmfOf(FillOnly(kRed), {Rec(39, {3, 0, Ref(kGreen), 0}),
                                EmfRecord(71, Ints({0, 0, 0, 0, 48, 3, 32, 1, 1, 16, 0, 0, 40, 40,
                                                    10, 10, 40, 40}))}),
         {{{20, 20}, kGreen}, {{60, 60}, kClear}}},
        {"LoMetricMapsTenthsOfMillimetresUpwards",
         EmfOf(FillOnly(kRed), {Rec(17, {2}), Rec(43, {0, 0, 100, -100})}),
         {{{20, 20}, kRed}, {{50, 50}, kClear}}},
        {"AnisotropicWindowOntoViewport",
         EmfOf(FillOnly(kRed), {Rec(17, {8}), Rec(9, {1000, 1000}), Rec(11, {100, 100}),
                                Rec(43, {0, 0, 500, 500})}),
         {{{25, 25}, kRed}, {{75, 75}, kClear}}},
        {"ViewportOrigin",
         EmfOf(FillOnly(kRed), {Rec(12, {50, 50}), Rec(43, {0, 0, 50, 50})}),
         {{{75, 75}, kRed}, {{25, 25}, kClear}}},
        {"WorldTransformScales",
         EmfOf(FillOnly(kRed),
               {EmfRecord(35, Floats({0.25f, 0, 0, 0.25f, 0, 0})), Rec(43, {0, 0, 200, 200})}),
         {{{25, 25}, kRed}, {{75, 75}, kClear}}},
        {"ModifyWorldTransformMultiplies",
         EmfOf(FillOnly(kRed), {EmfRecord(36, Floats({0.5f, 0, 0, 0.5f, 0, 0}) + Ints({2})),
                                EmfRecord(36, Floats({1, 0, 0, 1, 100, 0}) + Ints({2})),
                                Rec(43, {0, 0, 100, 100})}),
         {{{75, 25}, kRed}, {{25, 25}, kClear}}},
    };
}

INSTANTIATE_TEST_SUITE_P(EmfShapes, MetafilePlayback, testing::ValuesIn(EmfShapeCases()),
                         [](const testing::TestParamInfo<PlaybackCase>& row) {
                             return row.param.name;
                         });
INSTANTIATE_TEST_SUITE_P(EmfState, MetafilePlayback, testing::ValuesIn(EmfStateCases()),
                         [](const testing::TestParamInfo<PlaybackCase>& row) {
                             return row.param.name;
                         });

// --- WMF -----------------------------------------------------------------------------------------

QByteArray W(quint16 function, std::initializer_list<qint16> fields) {
    return WmfRecord(function, Shorts(fields));
}

QByteArray WmfColour(quint16 function, std::initializer_list<qint16> before, QRgb colour,
                     std::initializer_list<qint16> after = {}) {
    return WmfRecord(function, Shorts(before) + Ints({Ref(colour)}) + Shorts(after));
}

// A WMF of 100 x 100 logical units onto 100 x 100 pixels; objects take the lowest free slot.
QByteArray WmfOf(const std::vector<QByteArray>& records) {
    std::vector<QByteArray> all = {W(0x020C, {100, 100})};
    all.insert(all.end(), records.begin(), records.end());
    return Wmf(all);
}

// NULL_PEN is not a WMF object: a pen of style PS_NULL in slot 0, a solid brush in slot 1.
std::vector<QByteArray> WmfFillOnly(QRgb brush) {
    return {WmfColour(0x02FA, {5, 0, 0}, kBlack), W(0x012D, {0}),
            WmfColour(0x02FC, {0}, brush, {0}), W(0x012D, {1})};
}

std::vector<QByteArray> Join(std::vector<QByteArray> a, const std::vector<QByteArray>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<PlaybackCase> WmfCases() {
    const QByteArray fontRecord =
        WmfRecord(0x02FB, Shorts({-40, 0, 0, 0, 700}) + QByteArray::fromHex("00000000000000") +
                              QByteArray("\0DejaVu Sans", 12) + QByteArray(21, '\0'));
    return {
        {"Polygon",
         WmfOf(Join(WmfFillOnly(kGreen), {W(0x0324, {3, 10, 10, 90, 10, 10, 90})})),
         {{{20, 20}, kGreen}, {{80, 80}, kClear}}},
        {"PolyPolygonWithAHole",
         WmfOf(Join(WmfFillOnly(kRed), {W(0x0538, {2, 4, 4, 10, 10, 90, 10, 90, 90, 10, 90, 30, 30,
                                                   70, 30, 70, 70, 30, 70})})),
         {{{20, 20}, kRed}, {{50, 50}, kClear}}},
        {"RectangleFieldsAreBottomRightTopLeft",
         WmfOf(Join(WmfFillOnly(kBlue), {W(0x041B, {50, 100, 0, 50})})),
         {{{75, 25}, kBlue}, {{25, 25}, kClear}, {{75, 75}, kClear}}},
        {"Ellipse",
         WmfOf(Join(WmfFillOnly(kGreen), {W(0x0418, {100, 100, 0, 0})})),
         {{{50, 50}, kGreen}, {{5, 5}, kClear}}},
        {"RoundRect",
         WmfOf(Join(WmfFillOnly(kBlue), {W(0x061C, {60, 60, 100, 100, 0, 0})})),
         {{{50, 50}, kBlue}, {{2, 2}, kClear}}},
        {"Pie",
         WmfOf(Join(WmfFillOnly(kRed), {W(0x081A, {0, 50, 50, 100, 100, 100, 0, 0})})),
         {{{75, 25}, kRed}, {{25, 75}, kClear}}},
        {"LineToWithAPen",
         WmfOf({WmfColour(0x02FA, {0, 6, 0}, kRed), W(0x012D, {0}), W(0x0214, {50, 10}),
                W(0x0213, {50, 90})}),
         {{{50, 50}, kRed}, {{50, 40}, kClear}}},
        {"DeletedSlotIsTakenByTheNextObject",
         WmfOf(Join(WmfFillOnly(kRed), {W(0x01F0, {1}), WmfColour(0x02FC, {0}, kBlue, {0}),
                                        W(0x012D, {1}), W(0x041B, {100, 100, 0, 0})})),
         {{{50, 50}, kBlue}}},
        {"IntersectClipRect",
         WmfOf(Join(WmfFillOnly(kRed), {W(0x0416, {100, 50, 0, 0}), W(0x041B, {100, 100, 0, 0})})),
         {{{25, 50}, kRed}, {{75, 50}, kClear}}},
        {"SaveAndRestoreDc",
         WmfOf(Join(WmfFillOnly(kRed), {W(0x001E, {}), W(0x0416, {10, 10, 0, 0}), W(0x0127, {-1}),
                                        W(0x041B, {100, 100, 0, 0})})),
         {{{50, 50}, kRed}}},
        {"WindowMapsOntoTheFrame",
         Wmf(Join({W(0x020C, {1000, 1000})},
                  Join(WmfFillOnly(kRed), {W(0x041B, {500, 500, 0, 0})})),
             Placeable(QRect(0, 0, 1000, 1000), 960)),
         {{{25, 25}, kRed}, {{75, 75}, kClear}}},
        {"TextOutDrawsInTheTextColour",
         WmfOf({fontRecord, W(0x012D, {0}), WmfColour(0x0209, {}, kBlue),
                WmfRecord(0x0521, Shorts({4}) + QByteArray("HHHH") + Shorts({10, 5}))}),
         {{{3, 30}, kClear}}},
    };
}

INSTANTIATE_TEST_SUITE_P(Wmf, MetafilePlayback, testing::ValuesIn(WmfCases()),
                         [](const testing::TestParamInfo<PlaybackCase>& row) {
                             return row.param.name;
                         });

// --- EMF+ --------------------------------------------------------------------------------------

const QByteArray kVersion = Ints({qint32(0xDBC01002)});

QByteArray PlusHeader(bool dual = false) {
    return PlusRecord(0x4001, dual ? 1 : 0, kVersion + Ints({1, 96, 96}));
}

QByteArray PlusObject(int id, int type, const QByteArray& data) {
    return PlusRecord(0x4008, quint16(type << 8 | id), data);
}

QByteArray SolidBrushObject(int id, QRgb argb) {
    return PlusObject(id, 1, kVersion + Ints({0, qint32(argb)}));
}

QByteArray PenObject(int id, float width, QRgb argb) {
    return PlusObject(
        id, 2, kVersion + Ints({0, 0, 0}) + Floats({width}) + kVersion + Ints({0, qint32(argb)}));
}

// A square path of float points: start, three lines, closed.
QByteArray SquarePathObject(int id, float x, float y, float side) {
    return PlusObject(id, 3,
                      kVersion + Ints({4, 0}) +
                          Floats({x, y, x + side, y, x + side, y + side, x, y + side}) +
                          QByteArray::fromHex("00010181"));
}

QByteArray FillRectsColour(QRgb argb, float x, float y, float w, float h) {
    return PlusRecord(0x400A, 0x8000, Ints({qint32(argb), 1}) + Floats({x, y, w, h}));
}

QByteArray PlusFile(const std::vector<QByteArray>& records) {
    std::vector<QByteArray> all = {PlusHeader()};
    all.insert(all.end(), records.begin(), records.end());
    all.push_back(PlusRecord(0x4002, 0, {}));
    return Emf(QSize(100, 100), all);
}

std::vector<PlaybackCase> EmfPlusCases() {
    return {
        {"FillRectsWithAColour",
         PlusFile({FillRectsColour(kRed, 10, 10, 40, 40)}),
         {{{30, 30}, kRed}, {{70, 70}, kClear}}},
        {"FillRectsCompressed",
         PlusFile(
             {PlusRecord(0x400A, 0xC000, Ints({qint32(kBlue), 1}) + Shorts({50, 50, 40, 40}))}),
         {{{70, 70}, kBlue}, {{30, 30}, kClear}}},
        {"FillPathWithABrushObject",
         PlusFile({SolidBrushObject(0, kGreen), SquarePathObject(1, 20, 20, 60),
                   PlusRecord(0x4014, 0x0001, Ints({0}))}),
         {{{50, 50}, kGreen}, {{10, 10}, kClear}}},
        {"DrawPathWithAPen",
         PlusFile({PenObject(0, 6, kBlue), SquarePathObject(1, 20, 20, 60),
                   PlusRecord(0x4015, 0x0001, Ints({0}))}),
         {{{20, 50}, kBlue}, {{50, 50}, kClear}}},
        {"FillPolygon",
         PlusFile({PlusRecord(0x400C, 0x8000,
                              Ints({qint32(kRed), 3}) + Floats({10, 10, 90, 10, 10, 90}))}),
         {{{20, 20}, kRed}, {{80, 80}, kClear}}},
        {"DrawLinesClosed",
         PlusFile({PenObject(0, 6, kRed),
                   PlusRecord(0x400D, 0x2000, Ints({3}) + Floats({10, 10, 90, 10, 10, 90}))}),
         {{{50, 10}, kRed}, {{10, 50}, kRed}, {{50, 50}, kRed}, {{80, 80}, kClear}}},
        {"FillEllipse",
         PlusFile({PlusRecord(0x400E, 0x8000, Ints({qint32(kGreen)}) + Floats({0, 0, 100, 100}))}),
         {{{50, 50}, kGreen}, {{5, 5}, kClear}}},
        {"FillPieClockwiseFromEast",
         PlusFile(
             {PlusRecord(0x4010, 0x8000, Ints({qint32(kRed)}) + Floats({0, 90, 0, 0, 100, 100}))}),
         {{{75, 75}, kRed}, {{75, 25}, kClear}}},
        {"LinearGradientRunsFromStartToEnd",
         PlusFile({PlusObject(0, 1,
                              kVersion + Ints({4, 0, 0}) + Floats({0, 0, 100, 100}) +
                                  Ints({qint32(kRed), qint32(kBlue), 0, 0})),
                   PlusRecord(0x400A, 0, Ints({0, 1}) + Floats({0, 0, 100, 100}))}),
         {{{1, 50}, 0xFFFA0005}, {{98, 50}, 0xFF0500FA}}},
        {"SetClipRectIntersects",
         PlusFile({PlusRecord(0x4032, 0x0100, Floats({0, 0, 50, 100})),
                   FillRectsColour(kRed, 0, 0, 100, 100)}),
         {{{25, 50}, kRed}, {{75, 50}, kClear}}},
        {"ScaleWorldTransform",
         PlusFile(
             {PlusRecord(0x402E, 0, Floats({0.5f, 0.5f})), FillRectsColour(kRed, 0, 0, 100, 100)}),
         {{{25, 25}, kRed}, {{75, 75}, kClear}}},
        {"RestoreUndoesTheTransform",
         PlusFile({PlusRecord(0x4025, 0, Ints({7})), PlusRecord(0x402E, 0, Floats({0.1f, 0.1f})),
                   PlusRecord(0x4026, 0, Ints({7})), FillRectsColour(kRed, 0, 0, 100, 100)}),
         {{{75, 75}, kRed}}},
        {"PageUnitMillimetres",
         PlusFile({PlusRecord(0x4030, 6, Floats({1})), FillRectsColour(kRed, 0, 0, 10, 10)}),
         {{{30, 30}, kRed}, {{45, 45}, kClear}}},
        // A path-gradient brush is not drawn; the dual file's EMF records are drawn instead.
        {"DualFileFallsBackWhenABrushCannotBeDrawn",
         Emf(QSize(100, 100),
             {PlusHeader(true), PlusObject(0, 1, kVersion + Ints({3, 0, 0, 0})),
              PlusRecord(0x400A, 0, Ints({0, 1}) + Floats({0, 0, 100, 100})),
              PlusRecord(0x4002, 0, {}), Rec(37, {qint32(0x80000008)}),
              Rec(39, {2, 0, Ref(kGreen), 0}), Rec(37, {2}), Rec(43, {0, 0, 100, 100})}),
         {{{50, 50}, kGreen}}},
        // Plain records are drawn only after EmfPlusGetDC.
        {"PlainRecordsOnlyAfterGetDc",
         Emf(QSize(100, 100),
             {PlusHeader(), FillRectsColour(kRed, 0, 0, 50, 50), Rec(37, {qint32(0x80000008)}),
              Rec(39, {2, 0, Ref(kGreen), 0}), Rec(37, {2}), Rec(43, {50, 50, 100, 100}),
              PlusRecord(0x4004, 0, {}), Rec(43, {0, 50, 50, 100})}),
         {{{25, 25}, kRed}, {{75, 75}, kClear}, {{25, 75}, kGreen}}},
    };
}

INSTANTIATE_TEST_SUITE_P(EmfPlus, MetafilePlayback, testing::ValuesIn(EmfPlusCases()),
                         [](const testing::TestParamInfo<PlaybackCase>& row) {
                             return row.param.name;
                         });

// --- text --------------------------------------------------------------------------------------

// Columns that hold any pixel of `colour` (within a tolerance) in rows [top, bottom).
std::pair<int, int> InkColumns(const QImage& image, QRgb colour, int top, int bottom) {
    int first = image.width();
    int last = -1;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (Distance(image.pixel(x, y), colour) <= 80) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
        }
    }
    return {first, last};
}

QByteArray LogFontW(qint32 height, const QString& face, qint32 escapement = 0) {
    QByteArray face32 = Utf16(face);
    face32.resize(64, '\0');
    return Ints({height, 0, escapement, escapement, 400}) + QByteArray::fromHex("00000001000000") +
           QByteArray(1, '\0') + face32;
}

QByteArray ExtTextOutW(int x, int y, const QString& text) {
    return EmfRecord(84,
                     Ints({0, 0, 0, 0, 1, 0, 0, x, y, qint32(text.size()), 76, 0, 0, 0, 0, 0, 0}) +
                         Utf16(text) + QByteArray(text.size() % 2 * 2, '\0'));
}

struct TextCase {
    const char* name;
    qint32 align;
    QString face;
    QString text;
    int left, right;  // where the ink must lie
};

class MetafileText : public testing::TestWithParam<TextCase> {};

TEST_P(MetafileText, DrawsTheStringWhereItsAlignmentSays) {
    const TextCase& c = GetParam();
    const QByteArray emf =
        Emf(QSize(200, 100),
            {EmfRecord(82, Ints({1}) + LogFontW(-30, c.face)), Rec(37, {1}), Rec(22, {c.align}),
             Rec(24, {Ref(kBlue)}), Rec(18, {1}), ExtTextOutW(100, 60, c.text)});
    const QImage image = ReadMetafile(emf, kMaxPixels);
    ASSERT_FALSE(image.isNull());
    const auto [first, last] = InkColumns(image, kBlue, 0, 100);
    ASSERT_LE(first, last) << "no text drawn";
    EXPECT_GE(first, c.left);
    EXPECT_LE(last, c.right);
}

INSTANTIATE_TEST_SUITE_P(
    Metafile, MetafileText,
    testing::Values(TextCase{"LeftAligned", 24, "DejaVu Sans", "HHH", 98, 200},
                    TextCase{"RightAligned", 24 | 2, "DejaVu Sans", "HHH", 0, 102},
                    TextCase{"Centred", 24 | 6, "DejaVu Sans", "HHH", 60, 140},
                    // A face the system lacks falls back to one that has Chinese.
                    TextCase{"MissingFaceFallsBackForChinese", 24, "No Such Face 42",
                             QString::fromUtf8("批量"), 98, 200}),
    [](const testing::TestParamInfo<TextCase>& row) { return row.param.name; });

TEST(MetafileText, EscapementTurnsTheLine) {
    const QByteArray emf =
        Emf(QSize(100, 200),
            {EmfRecord(82, Ints({1}) + LogFontW(-30, "DejaVu Sans", 900)), Rec(37, {1}),
             Rec(22, {24}), Rec(24, {Ref(kBlue)}), Rec(18, {1}), ExtTextOutW(50, 190, "HHHHH")});
    const QImage image = ReadMetafile(emf, kMaxPixels);
    ASSERT_FALSE(image.isNull());
    // Turned a quarter anticlockwise, the line runs upwards from (50, 190) left of x = 50.
    const auto [first, last] = InkColumns(image, kBlue, 0, 200);
    EXPECT_GE(first, 15);
    EXPECT_LE(last, 52);
    EXPECT_EQ(InkColumns(image, kBlue, 0, 100).first <= last, true);
}

TEST(MetafileText, OpaqueBackgroundFillsBehindTheText) {
    const QByteArray emf =
        Emf(QSize(200, 100),
            {EmfRecord(82, Ints({1}) + LogFontW(-30, "DejaVu Sans")), Rec(37, {1}), Rec(22, {24}),
             Rec(25, {Ref(kGreen)}), Rec(18, {2}), ExtTextOutW(20, 60, "...")});
    const QImage image = ReadMetafile(emf, kMaxPixels);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(25, 45), kGreen);  // above the dots, inside the line's box
}

TEST(MetafileText, EmfPlusDrawStringWithAFontObject) {
    const QByteArray font =
        PlusObject(0, 6, kVersion + Floats({20}) + Ints({2, 0, 0, 11}) + Utf16("DejaVu Sans"));
    const QByteArray draw = PlusRecord(
        0x401C, 0x8000,
        Ints({qint32(kBlue), -1, 3}) + Floats({50, 10, 0, 0}) + Utf16("HHH") + QByteArray(2, '\0'));
    const QImage image = ReadMetafile(PlusFile({font, draw}), kMaxPixels);
    ASSERT_FALSE(image.isNull());
    const auto [first, last] = InkColumns(image, kBlue, 0, 100);
    EXPECT_GE(first, 48);
    EXPECT_LT(first, last);
}

// --- size --------------------------------------------------------------------------------------

// An EMF header recorded against a device of `dpi` whose frame is `mm` 0.01 mm wide and high.
QByteArray HeaderAt(int dpi, int hundredthsOfMm) {
    QByteArray header = EmfHeader(10, 10, 0);
    const qint32 devicePixels = hundredthsOfMm * dpi / 2540;
    Put32(header, 16, quint32(devicePixels - 1));  // bounds
    Put32(header, 20, quint32(devicePixels - 1));
    Put32(header, 32, quint32(hundredthsOfMm - 1));  // frame
    Put32(header, 36, quint32(hundredthsOfMm - 1));
    Put32(header, 72, quint32(dpi * 10));  // a device 10 inches wide and high
    Put32(header, 76, quint32(dpi * 10));
    Put32(header, 80, 254);
    Put32(header, 84, 254);
    Put32(header, 100, 254000);
    Put32(header, 104, 254000);
    return header;
}

struct SizeCase {
    const char* name;
    int dpi;
    int hundredthsOfMm;
    int pixels;
};

class MetafileSize : public testing::TestWithParam<SizeCase> {};

// A frame of 2.54 cm is 96 pixels whatever device it was recorded against, and what the records
// draw in device pixels covers the same part of it.
TEST_P(MetafileSize, FrameAt96DpiWhateverTheDevice) {
    const SizeCase& c = GetParam();
    const qint32 half = c.hundredthsOfMm * c.dpi / 2540 / 2;  // half the frame, device pixels
    const QByteArray emf =
        JoinEmf({HeaderAt(c.dpi, c.hundredthsOfMm), Rec(37, {qint32(0x80000008)}),
                 Rec(37, {qint32(0x80000004)}), Rec(43, {0, 0, half, half}), EmfEof()});
    const QImage image = ReadMetafile(emf, kMaxPixels);
    ASSERT_EQ(image.size(), QSize(c.pixels, c.pixels));
    EXPECT_EQ(image.pixel(c.pixels / 4, c.pixels / 4), kBlack);
    EXPECT_EQ(image.pixel(c.pixels * 3 / 4, c.pixels * 3 / 4), kClear);
}

INSTANTIATE_TEST_SUITE_P(Metafile, MetafileSize,
                         testing::Values(SizeCase{"Screen96Dpi", 96, 2540, 96},
                                         SizeCase{"Printer1200Dpi", 1200, 2540, 96},
                                         SizeCase{"Printer300Dpi", 300, 5080, 192},
                                         SizeCase{"Screen72Dpi", 72, 2540, 96}),
                         [](const testing::TestParamInfo<SizeCase>& row) {
                             return row.param.name;
                         });

// --- reasons -----------------------------------------------------------------------------------

struct ReasonCase {
    const char* name;
    QByteArray file;
    const char* reason;
    bool tooLarge = false;
};

class MetafileReason : public testing::TestWithParam<ReasonCase> {};

TEST_P(MetafileReason, NoPictureComesWithAReason) {
    MetafileError why;
    EXPECT_TRUE(ReadMetafile(GetParam().file, kMaxPixels, &why).isNull());
    EXPECT_TRUE(why.text.startsWith(GetParam().reason)) << qPrintable(why.text);
    EXPECT_EQ(why.tooLarge, GetParam().tooLarge);
}

QByteArray Truncated() {
    QByteArray emf = Emf(QSize(10, 10), {Rec(43, {0, 0, 5, 5})});
    Put32(emf, 108 + 4, 4000);  // the rectangle claims more bytes than the file has
    return emf;
}

QByteArray HugeFrame() {
    QByteArray emf = Emf(QSize(10, 10), {Rec(43, {0, 0, 5, 5})});
    Put32(emf, 16, 0x7FFFFFF);
    Put32(emf, 20, 0x7FFFFFF);
    Put32(emf, 32, 0x7FFFFFF);
    Put32(emf, 36, 0x7FFFFFF);
    return emf;
}

INSTANTIATE_TEST_SUITE_P(
    Metafile, MetafileReason,
    testing::Values(
        ReasonCase{"NotAMetafile", QByteArray("GIF89a"), "not a metafile"},
        ReasonCase{"EmptyEmf", Emf(QSize(10, 10), {}), "nothing drawable"},
        ReasonCase{"TruncatedRecord", Truncated(), "truncated record at offset 108"},
        ReasonCase{"HugeFrame", HugeFrame(), "frame too large", true},
        ReasonCase{"DamagedEmfHeader", Emf(QSize(10, 10), {}).left(60), "damaged EMF header"},
        ReasonCase{"WmfWithoutFrame", Wmf({W(0x041B, {10, 10, 0, 0})}), "no frame size"}),
    [](const testing::TestParamInfo<ReasonCase>& row) { return row.param.name; });

// A file drawn in part keeps what was drawn and gives no reason.
TEST(MetafileReason, TruncatedAfterADrawingKeepsTheDrawing) {
    QByteArray emf = Emf(QSize(10, 10), {Rec(37, {qint32(0x80000004)}), Rec(43, {0, 0, 10, 10}),
                                         Rec(43, {0, 0, 5, 5})});
    emf.chop(20 + 8);  // into the last rectangle
    MetafileError why{true, QStringLiteral("untouched")};
    EXPECT_FALSE(ReadMetafile(emf, kMaxPixels, &why).isNull());
    EXPECT_TRUE(why.text.isEmpty());
    EXPECT_FALSE(why.tooLarge);
}

// --- bounded work ------------------------------------------------------------------------------

// Shapes covering a large frame use up the work allowed for one file; the rest are not drawn, so
// a file of endless full-frame polygons ends soon. The same last shape is drawn when the file is
// short.
TEST(MetafileBoundedWork, FullFramePolygonsStopWhenTheWorkIsSpent) {
    const QSize frame(2048, 2048);
    std::vector<QByteArray> records = FillOnly(kBlack);
    records.insert(records.end(), 1000, Poly(3, {0, 0, 4000, 0, 0, 4000}));
    records.push_back(Rec(39, {3, 0, Ref(kRed), 0}));
    records.push_back(Rec(37, {3}));
    records.push_back(Rec(43, {0, 0, 10, 10}));
    const QImage image = ReadMetafile(Emf(frame, records), kMaxPixels);
    ASSERT_EQ(image.size(), frame);
    EXPECT_EQ(image.pixel(5, 5), kBlack);
    records.erase(records.begin() + 4, records.end() - 3);
    EXPECT_EQ(ReadMetafile(Emf(frame, records), kMaxPixels).pixel(5, 5), kRed);
}

// Two hundred thousand tiny polygons and a path of a hundred thousand points are drawn, and end.
TEST(MetafileBoundedWork, ManySmallShapesAndALongPath) {
    std::vector<QByteArray> records = FillOnly(kBlack);
    records.insert(records.end(), 200000, Poly(86, {1, 1, 3, 1, 1, 3}));
    QByteArray zigzag = Ints({0, 0, 0, 0, 100000});
    for (int i = 0; i < 100000; ++i) {
        zigzag += Ints({i % 100, (i * 7) % 100});
    }
    records.push_back(EmfRecord(4, zigzag));
    const QImage image = ReadMetafile(Emf(QSize(100, 100), records), kMaxPixels);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(1, 1), kBlack);
}

// --- inputs the fuzzer found -------------------------------------------------------------------

// Each file once made the reader misbehave; named after the fault. Each must read as nothing or
// as a picture within the limit, without a sanitizer report.
class MetafileRegression : public testing::TestWithParam<const char*> {};

TEST_P(MetafileRegression, ReadsWithoutHarm) {
    QFile file(QString(CORVANE_TEST_DATA) + "/metafiles/regressions/" + GetParam());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    constexpr qint64 kSmallLimit = qint64(1) << 22;
    const QImage image = ReadMetafile(file.readAll(), kSmallLimit);
    EXPECT_LE(qint64(image.width()) * image.height(), kSmallLimit);
}

INSTANTIATE_TEST_SUITE_P(Metafile, MetafileRegression,
                         testing::Values("nan_shape_bounds.emf", "text_glyph_cache_transform.emf",
                                         "far_off_canvas_fill.wmf", "huge_curve_length.emf"),
                         [](const testing::TestParamInfo<const char*>& row) {
                             return QString(row.param).section('.', 0, 0).toStdString();
                         });

}  // namespace
}  // namespace corvane
