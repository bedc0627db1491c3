// EMF and WMF: round trips through the writer and the reader, the records written (compared as
// text dumps and checked with libUEMF as an independent parser), interoperability with wmf2svg,
// the reader's DIB decoding against Qt's BMP decoder, and hostile input.

#include "metafile/metafile.h"
#include "support/metafile_records.h"

#include <gtest/gtest.h>

#include <uemf.h>
#include <uemf_safe.h>
#include <upmf.h>
#include <uwmf.h>

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <functional>
#include <random>
#include <vector>

namespace corvane {
namespace {

using namespace metafile_test;

using Writer = bool (*)(const QImage&, QIODevice*);
constexpr qint64 kMaxPixels = qint64(1) << 24;

// --- pictures ----------------------------------------------------------------------------------

// Neighbouring pixels differ in every channel; with `alpha`, every alpha level occurs.
QImage Pattern(int width, int height, bool alpha) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y,
                           qRgba((x * 37 + y * 11) & 0xFF, (x * 5 + y * 29) & 0xFF,
                                 (x * y + 90) & 0xFF, alpha ? (x * 13 + y * 7) & 0xFF : 255));
        }
    }
    return image;
}

// Incompressible, so that its PNG needs several EMF+ object records.
QImage Noise(int width, int height) {
    std::mt19937 random(7);
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, random());
        }
    }
    return image;
}

// How a page shows a picture: composited over white by QPainter, independently of the writer.
QImage OverWhite(const QImage& image) {
    QImage page(image.size(), QImage::Format_ARGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.drawImage(0, 0, image);
    return page;
}

// Largest difference of any channel of any pixel; 1000 when the sizes differ.
int MaxDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) {
        return 1000;
    }
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    }
    return worst;
}

QByteArray Write(Writer write, const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(write(image, &buffer));
    return bytes;
}

// Whole records of an EMF, header first.
std::vector<QByteArray> EmfRecords(const QByteArray& emf) {
    std::vector<QByteArray> records;
    for (qint64 at = 0; at + 8 <= emf.size();) {
        const quint32 size = U32(emf, at + 4);
        if (size < 8 || at + size > emf.size()) {
            break;
        }
        records.push_back(emf.mid(at, size));
        at += size;
    }
    return records;
}

// Whole records of a WMF after its 18-byte header.
std::vector<QByteArray> WmfRecords(const QByteArray& wmf) {
    std::vector<QByteArray> records;
    for (qint64 at = 18; at + 6 <= wmf.size();) {
        const qint64 size = qint64(U32(wmf, at)) * 2;
        if (size < 6 || at + size > wmf.size()) {
            break;
        }
        records.push_back(wmf.mid(at, size));
        at += size;
    }
    return records;
}

// The EMF+ records inside an EMR_COMMENT, or none.
std::vector<QByteArray> PlusRecords(const QByteArray& comment) {
    std::vector<QByteArray> records;
    if (U32(comment, 0) != 70 || comment.size() < 16 || U32(comment, 12) != 0x2B464D45) {
        return records;
    }
    const QByteArray data = comment.mid(16, U32(comment, 8) - 4);
    for (qint64 at = 0; at + 12 <= data.size();) {
        const quint32 size = U32(data, at + 4);
        records.push_back(data.mid(at, size));
        at += std::max<quint32>(size, 12);
    }
    return records;
}

QString Name(const char* libUemfName) {
    return QString(libUemfName).section('_', 2, -1);
}

// --- dumps -------------------------------------------------------------------------------------

QString DumpPlus(const QByteArray& r) {
    const quint16 type = U16(r, 0);
    const quint16 flags = U16(r, 2);
    QString line = QString("  %1 flags=0x%2")
                       .arg(Name(U_pmr_names(type - 0x4000)))
                       .arg(flags, 4, 16, QChar('0'));
    switch (type) {
        case 0x4001:
            return line + QString(" version=0x%1 dpi=%2x%3")
                              .arg(U32(r, 12), 8, 16)
                              .arg(I32(r, 20))
                              .arg(I32(r, 24));
        case 0x4008: {
            const bool continued = flags & 0x8000;
            line += QString(" size=%1").arg(U32(r, 4));
            if (continued) {
                line += QString(" total=%1").arg(U32(r, 12));
            }
            const qint64 data = continued ? 16 : 12;
            if (U32(r, data) == 0xDBC01002) {  // the first piece starts with the image header
                line += QString(" image=%1 %2x%3 compressed=%4")
                            .arg(U32(r, data + 4))
                            .arg(I32(r, data + 8))
                            .arg(I32(r, data + 12))
                            .arg(U32(r, data + 24));
            }
            return line;
        }
        case 0x401A:
            return line + QString(" unit=%1 src=%2,%3,%4x%5 dest=%6,%7,%8x%9")
                              .arg(I32(r, 16))
                              .arg(F32(r, 20))
                              .arg(F32(r, 24))
                              .arg(F32(r, 28))
                              .arg(F32(r, 32))
                              .arg(F32(r, 36))
                              .arg(F32(r, 40))
                              .arg(F32(r, 44))
                              .arg(F32(r, 48));
        default:
            return line;
    }
}

QStringList DumpEmf(const QByteArray& emf) {
    QStringList lines;
    for (const QByteArray& r : EmfRecords(emf)) {
        const quint32 type = U32(r, 0);
        QString line = Name(U_emr_names(type));
        switch (type) {
            case 1:
                line += QString(" size=%1 bounds=%2,%3,%4,%5 frame=%6,%7,%8,%9")
                            .arg(r.size())
                            .arg(I32(r, 8))
                            .arg(I32(r, 12))
                            .arg(I32(r, 16))
                            .arg(I32(r, 20))
                            .arg(I32(r, 24))
                            .arg(I32(r, 28))
                            .arg(I32(r, 32))
                            .arg(I32(r, 36)) +
                        QString(" handles=%1 device=%2x%3 mm=%4x%5 um=%6x%7")
                            .arg(U16(r, 56))
                            .arg(I32(r, 72))
                            .arg(I32(r, 76))
                            .arg(I32(r, 80))
                            .arg(I32(r, 84))
                            .arg(U32(r, 100))
                            .arg(U32(r, 104));
                break;
            case 21:
            case 34:
                line += QString(" %1").arg(I32(r, 8));
                break;
            case 81:
                line += QString(" dest=%1,%2,%3x%4 src=%5,%6,%7x%8 rop=0x%9")
                            .arg(I32(r, 24))
                            .arg(I32(r, 28))
                            .arg(I32(r, 72))
                            .arg(I32(r, 76))
                            .arg(I32(r, 32))
                            .arg(I32(r, 36))
                            .arg(I32(r, 40))
                            .arg(I32(r, 44))
                            .arg(U32(r, 68), 8, 16, QChar('0')) +
                        QString(" dib=%1x%2x%3 bmi=%4+%5 bits=%6+%7")
                            .arg(I32(r, U32(r, 48) + 4))
                            .arg(I32(r, U32(r, 48) + 8))
                            .arg(U16(r, U32(r, 48) + 14))
                            .arg(U32(r, 48))
                            .arg(U32(r, 52))
                            .arg(U32(r, 56))
                            .arg(U32(r, 60));
                break;
            default:
                break;
        }
        lines << line;
        for (const QByteArray& plus : PlusRecords(r)) {
            lines << DumpPlus(plus);
        }
    }
    return lines;
}

QStringList DumpWmf(const QByteArray& wmf) {
    QStringList lines;
    lines << QString("HEADER type=%1 words=%2 version=0x%3 objects=%4")
                 .arg(U16(wmf, 0))
                 .arg(U16(wmf, 2))
                 .arg(U16(wmf, 4), 4, 16, QChar('0'))
                 .arg(U16(wmf, 10));
    for (const QByteArray& r : WmfRecords(wmf)) {
        const quint16 function = U16(r, 4);
        QString line = Name(U_wmr_names(function & 0xFF));
        switch (function) {
            case 0x0626:
                line += QString(" escape=%1 id=0x%2 type=%3 pieces=%4 piece=%5 remaining=%6")
                            .arg(U16(r, 6))
                            .arg(U32(r, 10), 8, 16)
                            .arg(U32(r, 14))
                            .arg(U32(r, 28))
                            .arg(U32(r, 32))
                            .arg(U32(r, 36));
                break;
            case 0x0103:
            case 0x0107:
                line += QString(" %1").arg(U16(r, 6));
                break;
            case 0x020B:
            case 0x020C:
                line += QString(" x=%1 y=%2").arg(I16(r, 8)).arg(I16(r, 6));
                break;
            case 0x0F43:
                line += QString(" rop=0x%1 usage=%2 src=%3,%4,%5x%6 dest=%7,%8,%9x%10")
                            .arg(U32(r, 6), 8, 16, QChar('0'))
                            .arg(U16(r, 10))
                            .arg(I16(r, 18))
                            .arg(I16(r, 16))
                            .arg(I16(r, 14))
                            .arg(I16(r, 12))
                            .arg(I16(r, 26))
                            .arg(I16(r, 24))
                            .arg(I16(r, 22))
                            .arg(I16(r, 20)) +
                        QString(" dib=%1x%2x%3").arg(I32(r, 32)).arg(I32(r, 36)).arg(U16(r, 42));
                break;
            default:
                break;
        }
        lines << line;
    }
    return lines;
}

// The EMF carried in a WMF's escape records, joined.
QByteArray EmbeddedEmf(const QByteArray& wmf) {
    QByteArray emf;
    for (const QByteArray& r : WmfRecords(wmf)) {
        if (U16(r, 4) == 0x0626) {
            emf += r.mid(44, U32(r, 32));
        }
    }
    return emf;
}

// --- round trips -------------------------------------------------------------------------------

struct RoundTripCase {
    const char* name;
    Writer write;
    MetafileKind format;
    QImage image;
};

class MetafileRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(MetafileRoundTrip, ReadingWhatWasWrittenGivesTheImageBack) {
    const RoundTripCase& c = GetParam();
    const QByteArray bytes = Write(c.write, c.image);
    EXPECT_EQ(SniffMetafile(bytes.left(64)), c.format);
    EXPECT_EQ(MaxDifference(ReadMetafile(bytes, kMaxPixels), c.image), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Metafile, MetafileRoundTrip,
    testing::Values(
        RoundTripCase{"EmfOnePixel", WriteEmf, MetafileKind::Emf, Pattern(1, 1, false)},
        RoundTripCase{"EmfAlpha", WriteEmf, MetafileKind::Emf, Pattern(17, 9, true)},
        RoundTripCase{"Emf640x480", WriteEmf, MetafileKind::Emf, Pattern(640, 480, false)},
        RoundTripCase{"EmfContinuedObject", WriteEmf, MetafileKind::Emf, Noise(300, 200)},
        RoundTripCase{"EmfRgb888", WriteEmf, MetafileKind::Emf,
                      Pattern(33, 20, false).convertToFormat(QImage::Format_RGB888)},
        RoundTripCase{"WmfOnePixel", WriteWmf, MetafileKind::Wmf, Pattern(1, 1, false)},
        RoundTripCase{"WmfAlpha", WriteWmf, MetafileKind::Wmf, Pattern(17, 9, true)},
        RoundTripCase{"Wmf640x480", WriteWmf, MetafileKind::Wmf, Pattern(640, 480, false)},
        RoundTripCase{"WmfContinuedObject", WriteWmf, MetafileKind::Wmf, Noise(300, 200)}),
    [](const testing::TestParamInfo<RoundTripCase>& row) { return row.param.name; });

// Readers without EMF+ (and the WMF's own records) see the picture over white.
TEST(MetafilePlainRecords, EmfWithoutEmfPlusShowsThePictureOverWhite) {
    for (bool alpha : {false, true}) {
        const QImage image = Pattern(23, 11, alpha);
        std::vector<QByteArray> records = EmfRecords(Write(WriteEmf, image));
        std::erase_if(records, [](const QByteArray& r) { return U32(r, 0) == 70; });
        EXPECT_LE(MaxDifference(ReadMetafile(JoinEmf(records), kMaxPixels), OverWhite(image)), 1)
            << "alpha " << alpha;
    }
}

// An EMF+ reader that cannot use the EMF+ picture draws the EMF records instead.
TEST(MetafilePlainRecords, DamagedEmfPlusImageFallsBackToTheEmfRecords) {
    const QImage image = Pattern(23, 11, true);
    std::vector<QByteArray> records = EmfRecords(Write(WriteEmf, image));
    for (QByteArray& r : records) {
        const auto plus = PlusRecords(r);
        if (plus.size() == 1 && U16(plus[0], 0) == 0x4008) {
            r[16 + 12 + 28 + 1] = 'X';  // the PNG signature of the image object
        }
    }
    EXPECT_LE(MaxDifference(ReadMetafile(JoinEmf(records), kMaxPixels), OverWhite(image)), 1);
}

TEST(MetafilePlainRecords, WmfWithoutTheEmbeddedEmfShowsThePictureOverWhite) {
    for (bool alpha : {false, true}) {
        const QImage image = Pattern(23, 11, alpha);
        const QByteArray wmf = Write(WriteWmf, image);
        std::vector<QByteArray> records = WmfRecords(wmf);
        std::erase_if(records, [](const QByteArray& r) { return U16(r, 4) == 0x0626; });
        EXPECT_LE(MaxDifference(ReadMetafile(JoinWmf(wmf, records), kMaxPixels), OverWhite(image)),
                  1)
            << "alpha " << alpha;
    }
}

// --- the records written -----------------------------------------------------------------------

TEST(MetafileEmfRecords, SmallImageDump) {
    const QByteArray emf = Write(WriteEmf, Pattern(4, 3, true));
    const QStringList dump = DumpEmf(emf);
    const QStringList expected = {
        "HEADER size=108 bounds=0,0,3,2 frame=0,0,105,78 handles=1 device=1920x1440 mm=508x381 "
        "um=508000x381000",
        "COMMENT",
        "  Header flags=0x0001 version=0xdbc01002 dpi=96x96",
        "COMMENT",
        dump.value(4),  // the object line, checked below
        "COMMENT",
        "  SetInterpolationMode flags=0x0007",
        "  DrawImage flags=0x0000 unit=2 src=0,0,4x3 dest=0,0,4x3",
        "SAVEDC",
        "SETSTRETCHBLTMODE 4",
        "STRETCHDIBITS dest=0,0,4x3 src=0,0,4x3 rop=0x00cc0020 dib=4x3x24 bmi=80+40 bits=120+36",
        "RESTOREDC -1",
        "COMMENT",
        "  EndOfFile flags=0x0000",
        "EOF",
    };
    EXPECT_EQ(dump, expected);
    EXPECT_TRUE(dump.value(4).startsWith("  Object flags=0x0500 size="));
    EXPECT_TRUE(dump.value(4).endsWith("image=1 4x3 compressed=1"));
    EXPECT_EQ(U32(emf, 48), quint32(emf.size()));              // nBytes
    EXPECT_EQ(U32(emf, 52), quint32(EmfRecords(emf).size()));  // nRecords
}

// The picture is recorded as one drawing of the image at (0, 0) at its own size, in both forms.
TEST(MetafileEmfRecords, Image640x480IsOneDrawingAtOriginAtItsSize) {
    const QByteArray emf = Write(WriteEmf, Pattern(640, 480, false));
    const QStringList dump = DumpEmf(emf);
    EXPECT_EQ(dump.value(0),
              "HEADER size=108 bounds=0,0,639,479 frame=0,0,16932,12699 handles=1 device=1920x1440 "
              "mm=508x381 um=508000x381000");
    EXPECT_EQ(dump.filter("DrawImage"),
              QStringList{"  DrawImage flags=0x0000 unit=2 src=0,0,640x480 dest=0,0,640x480"});
    const QRegularExpression raster(
        "^(BITBLT|STRETCHBLT|STRETCHDIBITS|SETDIBITSTODEVICE|ALPHABLEND)");
    EXPECT_EQ(dump.filter(raster).size(), 1);
    EXPECT_EQ(dump.filter("STRETCHDIBITS"),
              QStringList{"STRETCHDIBITS dest=0,0,640x480 src=0,0,640x480 rop=0x00cc0020 "
                          "dib=640x480x24 bmi=80+40 bits=120+921600"});
    EXPECT_EQ(U32(emf, 48), quint32(emf.size()));
}

// libUEMF, an independent EMF library, accepts every record, and splits a large EMF+ object into
// exactly the records we wrote.
TEST(MetafileEmfRecords, LibUemfAcceptsTheRecordsAndSplitsObjectsAlike) {
    const QByteArray emf = Write(WriteEmf, Noise(300, 200));
    QByteArray object;
    QByteArray ourObjectRecords;
    for (const QByteArray& record : EmfRecords(emf)) {
        QByteArray copy = record;  // U_emf_record_safe wants writable, aligned memory
        EXPECT_EQ(U_emf_record_safe(copy.data()), 1)
            << Name(U_emr_names(U32(record, 0))).toStdString();
        for (const QByteArray& plus : PlusRecords(record)) {
            if (U16(plus, 0) == 0x4008) {
                ourObjectRecords += plus;
                object += plus.mid(16);
            }
        }
    }
    ASSERT_GT(object.size(), 65020 * 2);
    U_PSEUDO_OBJ* po = U_PMR_OBJECT_set(0, U_OT_Image, 0, 0, object.size(), object.constData());
    ASSERT_NE(po, nullptr);
    EXPECT_EQ(QByteArray(po->Data, qsizetype(po->Used)), ourObjectRecords);
    U_PO_free(&po);
}

TEST(MetafileWmfRecords, SmallImageDump) {
    const QByteArray wmf = Write(WriteWmf, Pattern(4, 3, true));
    const QByteArray emf = Write(WriteEmf, Pattern(4, 3, true));
    const QStringList expected = {
        "HEADER type=1 words=9 version=0x0300 objects=0",
        QString("ESCAPE escape=15 id=0x43464d57 type=1 pieces=1 piece=%1 remaining=0")
            .arg(emf.size()),
        "SETMAPMODE 8",
        "SETWINDOWORG x=0 y=0",
        "SETWINDOWEXT x=4 y=3",
        "SETSTRETCHBLTMODE 4",
        "STRETCHDIB rop=0x00cc0020 usage=0 src=0,0,4x3 dest=0,0,4x3 dib=4x3x24",
        "EOF",
    };
    EXPECT_EQ(DumpWmf(wmf), expected);
}

TEST(MetafileWmfRecords, StandardHeaderWithCorrectSizesAndNoPlaceableKey) {
    const QByteArray wmf = Write(WriteWmf, Noise(120, 90));
    EXPECT_EQ(wmf.left(6), QByteArray::fromHex("010009000003"));
    EXPECT_NE(U32(wmf, 0), 0x9AC6CDD7u);
    EXPECT_EQ(qint64(U32(wmf, 6)) * 2, wmf.size());  // mtSize in words
    quint32 largest = 0;
    for (const QByteArray& r : WmfRecords(wmf)) {
        largest = std::max(largest, U32(r, 0));
    }
    EXPECT_EQ(U32(wmf, 12), largest);  // mtMaxRecord
    EXPECT_EQ(U16(wmf, 10), 0);        // mtNoObjects
    U_WMRPLACEABLE placeable;
    U_WMRHEADER header;
    EXPECT_EQ(wmfheader_get(wmf.constData(), wmf.constData() + wmf.size(), &placeable, &header),
              18);  // libUEMF reads a standard header of 9 words and no placeable header
    // The embedded EMF is the EMF of the image, whole, in pieces of at most 8192 bytes, with the
    // checksum that makes the XOR of all its words 0xFFFF.
    const QByteArray emf = EmbeddedEmf(wmf);
    EXPECT_EQ(emf, Write(WriteEmf, Noise(120, 90)));
    quint16 sum = 0;
    for (qint64 i = 0; i + 1 < emf.size(); i += 2) {
        sum ^= U16(emf, i);
    }
    for (const QByteArray& r : WmfRecords(wmf)) {
        if (U16(r, 4) == 0x0626) {
            EXPECT_LE(U32(r, 32), 8192u);
            EXPECT_EQ(quint16(sum ^ U16(r, 22)), 0xFFFF);
        }
    }
    // libUEMF reads the drawing record the same way.
    const QByteArray stretch = WmfRecords(wmf).at(WmfRecords(wmf).size() - 2);
    U_POINT16 dst, cDst, src, cSrc;
    uint16_t usage = 9;
    uint32_t rop = 0;
    const char* dib = nullptr;
    ASSERT_GT(
        U_WMRSTRETCHDIB_get(stretch.constData(), &dst, &cDst, &src, &cSrc, &usage, &rop, &dib), 0);
    EXPECT_EQ(std::vector<int>({dst.x, dst.y, cDst.x, cDst.y, src.x, src.y, cSrc.x, cSrc.y}),
              std::vector<int>({0, 0, 120, 90, 0, 0, 120, 90}));
    EXPECT_EQ(rop, 0x00CC0020u);
    EXPECT_EQ(usage, 0);
}

// wmf2svg (libwmf) opens the WMF and shows the picture over white.
TEST(MetafileWmf2Svg, OpensTheWmfAndShowsThePicture) {
    const QString tool = QStandardPaths::findExecutable("wmf2svg");
    if (tool.isEmpty()) {
        GTEST_SKIP() << "wmf2svg (libwmf-bin) is not installed";
    }
    QTemporaryDir dir;
    const QImage image = Pattern(40, 30, true);
    QFile file(dir.filePath("picture.wmf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(WriteWmf(image, &file));
    file.close();
    QProcess process;
    process.start(tool, {"--inline", "-o", dir.filePath("picture.svg"), file.fileName()});
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    QFile svg(dir.filePath("picture.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray text = svg.readAll();
    const QByteArray marker = "data:image/png;base64,";
    const qint64 start = text.indexOf(marker);
    ASSERT_GE(start, 0) << text.toStdString();
    const qint64 end = text.indexOf('"', start);
    QByteArray base64 = text.mid(start + marker.size(), end - start - marker.size());
    base64.replace("\n", "").replace("\r", "");
    const QImage shown = QImage::fromData(QByteArray::fromBase64(base64), "PNG");
    EXPECT_LE(MaxDifference(shown, OverWhite(image)), 1);
}

// --- what cannot be written --------------------------------------------------------------------

TEST(MetafileWriting, RefusesWhatTheFormatCannotHold) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(WriteEmf(QImage(), &buffer));
    EXPECT_FALSE(WriteWmf(QImage(), &buffer));
    EXPECT_TRUE(bytes.isEmpty());
    // WMF coordinates are 16-bit: a side of 32768 pixels cannot be stated.
    const QImage wide = Pattern(32768, 1, false);
    EXPECT_FALSE(WriteWmf(wide, &buffer));
    EXPECT_TRUE(bytes.isEmpty());
    EXPECT_TRUE(WriteEmf(wide, &buffer));
    EXPECT_TRUE(WriteWmf(Pattern(32767, 1, false), &buffer));
}

// --- EMF+ continued objects --------------------------------------------------------------------

// The last piece of a continued object, as the published description writes it: no continue
// flag, and (variant) no total size either. Both must read like GDI+'s form.
TEST(MetafileEmfPlusObjects, EitherEndingOfAContinuedObjectIsRead) {
    const QImage image = Noise(200, 150);
    for (bool dropTotal : {false, true}) {
        std::vector<QByteArray> records = EmfRecords(Write(WriteEmf, image));
        QByteArray* last = nullptr;
        for (QByteArray& r : records) {
            const auto plus = PlusRecords(r);
            if (plus.size() == 1 && U16(plus[0], 0) == 0x4008) {
                last = &r;
            }
        }
        ASSERT_NE(last, nullptr);
        QByteArray& r = *last;
        Put16(r, 18, U16(r, 18) & 0x7FFF);  // EMF+ flags: continue bit off
        if (dropTotal) {
            r.remove(28, 4);
            Put32(r, 4, U32(r, 4) - 4);    // comment size
            Put32(r, 8, U32(r, 8) - 4);    // comment data size
            Put32(r, 20, U32(r, 20) - 4);  // EMF+ size
            Put32(r, 24, U32(r, 24) - 4);  // EMF+ data size
        }
        EXPECT_EQ(MaxDifference(ReadMetafile(JoinEmf(records), kMaxPixels), image), 0)
            << "without total " << dropTotal;
    }
}

// --- the reader on files other writers make
// -------------------------------------------------------

// A DIB made by hand: header, colour table, bits.
struct Dib {
    QByteArray info;  // header, masks, colour table
    QByteArray bits;
};

QRgb PaletteColour(int i) {
    return qRgb((i * 67) & 0xFF, (i * 151 + 40) & 0xFF, (255 - i * 3) & 0xFF);
}
int Index(int x, int y, int colours) {
    return (x * 3 + y * 5 + x * y) % colours;
}

QByteArray InfoHeader(int width, int height, int bitCount, quint32 compression, int coloursUsed,
                      qint64 bitsSize) {
    return Bytes([&](QDataStream& s) {
        s << quint32(40) << qint32(width) << qint32(height) << quint16(1) << quint16(bitCount)
          << compression << quint32(bitsSize) << qint32(0) << qint32(0) << quint32(coloursUsed)
          << quint32(0);
    });
}

QByteArray ColourTable(int colours) {
    return Bytes([&](QDataStream& s) {
        for (int i = 0; i < colours; ++i) {
            s << quint8(qBlue(PaletteColour(i))) << quint8(qGreen(PaletteColour(i)))
              << quint8(qRed(PaletteColour(i))) << quint8(0);
        }
    });
}

// Rows bottom-up (top-down when `topDown`), each packed by `pack` and padded to 32 bits.
QByteArray Rows(int width, int height, bool topDown,
                const std::function<void(QDataStream&, int x, int y)>& pixel, int bitCount) {
    const int stride = (width * bitCount + 31) / 32 * 4;
    QByteArray bits;
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        QByteArray line = Bytes([&](QDataStream& s) {
            for (int x = 0; x < width; ++x) {
                pixel(s, x, y);
            }
        });
        line.resize(stride, '\0');
        bits += line;
    }
    return bits;
}

QByteArray PackedIndices(int width, int height, int bitCount, int colours) {
    const int stride = (width * bitCount + 31) / 32 * 4;
    QByteArray bits(qsizetype(stride) * height, '\0');
    for (int y = 0; y < height; ++y) {
        uchar* row = reinterpret_cast<uchar*>(bits.data()) + (height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const int bit = x * bitCount;
            row[bit / 8] |= uchar(Index(x, y, colours) << (8 - bitCount - bit % 8));
        }
    }
    return bits;
}

// RLE8: runs for repeats, absolute runs for the rest, an end of line after each row.
QByteArray Rle8(int width, int height, int colours) {
    QByteArray bits;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width;) {
            int run = 1;
            while (x + run < width && run < 255 &&
                   Index(x + run, y, colours) == Index(x, y, colours)) {
                ++run;
            }
            if (run == 1 && width - x >= 3) {
                const int count = std::min(width - x, 3);
                bits += char(0);
                bits += char(count);
                for (int i = 0; i < count; ++i) {
                    bits += char(Index(x + i, y, colours));
                }
                bits += char(0);  // pad to 16 bits
                x += count;
                continue;
            }
            bits += char(run);
            bits += char(Index(x, y, colours));
            x += run;
        }
        bits += QByteArray("\0\0", 2);
    }
    return bits + QByteArray("\0\1", 2);
}

Dib Indexed(int width, int height, int bitCount, int colours) {
    const QByteArray bits = PackedIndices(width, height, bitCount, colours);
    const int used = colours == (1 << bitCount) ? 0 : colours;
    return {InfoHeader(width, height, bitCount, 0, used, bits.size()) + ColourTable(colours), bits};
}

Dib Rle8Dib(int width, int height) {
    const QByteArray bits = Rle8(width, height, 256);
    return {InfoHeader(width, height, 8, 1, 0, bits.size()) + ColourTable(256), bits};
}

Dib TrueColour(int width, int height, int bitCount, bool topDown) {
    const QByteArray bits = Rows(
        width, height, topDown,
        [&](QDataStream& s, int x, int y) {
            const QRgb c = Pattern(width, height, false).pixel(x, y);
            if (bitCount == 16) {
                s << quint16((qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3);
            } else {
                s << quint8(qBlue(c)) << quint8(qGreen(c)) << quint8(qRed(c));
                if (bitCount == 32) {
                    s << quint8(0x5A);  // ignored by GDI's copying calls
                }
            }
        },
        bitCount);
    return {InfoHeader(width, topDown ? -height : height, bitCount, 0, 0, bits.size()), bits};
}

Dib Bitfields565(int width, int height) {
    const QByteArray bits = Rows(
        width, height, false,
        [&](QDataStream& s, int x, int y) {
            const QRgb c = Pattern(width, height, false).pixel(x, y);
            s << quint16((qRed(c) >> 3) << 11 | (qGreen(c) >> 2) << 5 | qBlue(c) >> 3);
        },
        16);
    const QByteArray masks =
        Bytes([](QDataStream& s) { s << quint32(0xF800) << quint32(0x07E0) << quint32(0x001F); });
    return {InfoHeader(width, height, 16, 3, 0, bits.size()) + masks, bits};
}

// Qt's BMP decoder, as the independent reference for what a DIB shows.
QImage DecodedByQt(const Dib& dib) {
    const QByteArray file = Bytes([&](QDataStream& s) {
        s << quint8('B') << quint8('M') << quint32(14 + dib.info.size() + dib.bits.size())
          << quint32(0) << quint32(14 + dib.info.size());
    });
    return QImage::fromData(file + dib.info + dib.bits, "BMP");
}

// EMR_STRETCHDIBITS of the source rectangle `source` onto `dest`, in logical units.
QByteArray StretchDiBits(const Dib& dib, QRect source, QRect dest, quint32 rop = 0x00CC0020) {
    return EmfRecord(81, Bytes([&](QDataStream& s) {
                             s << qint32(0) << qint32(0) << qint32(0) << qint32(0)
                               << qint32(dest.x()) << qint32(dest.y()) << qint32(source.x())
                               << qint32(source.y()) << qint32(source.width())
                               << qint32(source.height()) << quint32(80) << quint32(dib.info.size())
                               << quint32(80 + dib.info.size()) << quint32(dib.bits.size())
                               << quint32(0) << rop << qint32(dest.width())
                               << qint32(dest.height());
                         }) + dib.info +
                             dib.bits);
}

QByteArray WmfPoint(quint16 function, int x, int y) {
    return WmfRecord(function, Bytes([&](QDataStream& s) { s << qint16(y) << qint16(x); }));
}

QByteArray StretchDib(const Dib& dib, QRect source, QRect dest) {
    return WmfRecord(0x0F43, Bytes([&](QDataStream& s) {
                                 s << quint32(0x00CC0020) << quint16(0) << qint16(source.height())
                                   << qint16(source.width()) << qint16(source.y())
                                   << qint16(source.x()) << qint16(dest.height())
                                   << qint16(dest.width()) << qint16(dest.y()) << qint16(dest.x());
                             }) + dib.info +
                                 dib.bits);
}

QByteArray DibStretchBlt(const Dib& dib, QRect source, QRect dest) {
    return WmfRecord(0x0B41, Bytes([&](QDataStream& s) {
                                 s << quint32(0x00CC0020) << qint16(source.height())
                                   << qint16(source.width()) << qint16(source.y())
                                   << qint16(source.x()) << qint16(dest.height())
                                   << qint16(dest.width()) << qint16(dest.y()) << qint16(dest.x());
                             }) + dib.info +
                                 dib.bits);
}

struct DibCase {
    const char* name;
    Dib dib;
    // Qt widens 5- and 6-bit channels by shifting (31 becomes 248); we scale them to the full
    // range (31 becomes 255), so 16-bit rows agree within one 5-bit step.
    int tolerance = 0;
};

class MetafileDibDecoding : public testing::TestWithParam<DibCase> {};

constexpr int kDibWidth = 13;
constexpr int kDibHeight = 7;

// Every DIB layout shows, drawn 1:1 over its frame, what Qt's BMP decoder shows; in an EMF and in
// a WMF.
TEST_P(MetafileDibDecoding, ShowsWhatQtsBmpDecoderShows) {
    const Dib& dib = GetParam().dib;
    const QImage expected = DecodedByQt(dib);
    ASSERT_FALSE(expected.isNull());
    const QRect all(0, 0, kDibWidth, kDibHeight);
    const QByteArray emf = Emf(all.size(), {StretchDiBits(dib, all, all)});
    const int tolerance = GetParam().tolerance;
    EXPECT_LE(MaxDifference(ReadMetafile(emf, kMaxPixels), expected), tolerance) << "EMF";
    const QByteArray wmf =
        Wmf({WmfPoint(0x020C, kDibWidth, kDibHeight), StretchDib(dib, all, all)});
    EXPECT_LE(MaxDifference(ReadMetafile(wmf, kMaxPixels), expected), tolerance) << "WMF";
}

INSTANTIATE_TEST_SUITE_P(
    Metafile, MetafileDibDecoding,
    testing::Values(DibCase{"OneBit", Indexed(kDibWidth, kDibHeight, 1, 2)},
                    DibCase{"FourBit", Indexed(kDibWidth, kDibHeight, 4, 16)},
                    DibCase{"EightBit", Indexed(kDibWidth, kDibHeight, 8, 256)},
                    DibCase{"EightBitShortTable", Indexed(kDibWidth, kDibHeight, 8, 40)},
                    DibCase{"Rle8", Rle8Dib(kDibWidth, kDibHeight)},
                    DibCase{"Rgb555", TrueColour(kDibWidth, kDibHeight, 16, false), 8},
                    DibCase{"Bitfields565", Bitfields565(kDibWidth, kDibHeight), 8},
                    DibCase{"Rgb24", TrueColour(kDibWidth, kDibHeight, 24, false)},
                    DibCase{"Rgb24TopDown", TrueColour(kDibWidth, kDibHeight, 24, true)},
                    DibCase{"Rgb32", TrueColour(kDibWidth, kDibHeight, 32, false)}),
    [](const testing::TestParamInfo<DibCase>& row) { return row.param.name; });

// DIB calls measure the source rectangle from the bottom left of a bottom-up DIB; blts from the
// top left. Logical units map to pixels through the map mode, the window and the viewport.
TEST(MetafileMapping, SourceRectanglesAndWindowsMapLikeGdi) {
    const Dib dib = TrueColour(kDibWidth, kDibHeight, 24, false);
    const QImage picture = DecodedByQt(dib);
    const QSize part(kDibWidth - 2, kDibHeight - 3);
    // Source rows 0..3 counted from the bottom are image rows 3..6 counted from the top.
    const QByteArray emf =
        Emf(part, {StretchDiBits(dib, QRect(QPoint(1, 0), part), QRect(QPoint(0, 0), part))});
    EXPECT_EQ(MaxDifference(ReadMetafile(emf, kMaxPixels), picture.copy(QRect(QPoint(1, 3), part))),
              0);
    // MM_ANISOTROPIC: a window twice the viewport halves logical units.
    const QRect all(0, 0, kDibWidth, kDibHeight);
    const QByteArray halved = Emf(
        all.size(),
        {EmfRecord(17, Bytes([](QDataStream& s) { s << qint32(8); })),
         EmfRecord(9, Bytes([](QDataStream& s) {
                       s << qint32(2 * kDibWidth) << qint32(2 * kDibHeight);
                   })),
         EmfRecord(11, Bytes([](QDataStream& s) { s << qint32(kDibWidth) << qint32(kDibHeight); })),
         StretchDiBits(dib, all, QRect(0, 0, 2 * kDibWidth, 2 * kDibHeight))});
    EXPECT_EQ(MaxDifference(ReadMetafile(halved, kMaxPixels), picture), 0);
    // A world transform applies before the map mode.
    const QByteArray world =
        Emf(all.size(), {EmfRecord(35, Bytes([](QDataStream& s) {
                                       s << 0.5f << 0.0f << 0.0f << 0.5f << 0.0f << 0.0f;
                                   })),
                         StretchDiBits(dib, all, QRect(0, 0, 2 * kDibWidth, 2 * kDibHeight))});
    EXPECT_EQ(MaxDifference(ReadMetafile(world, kMaxPixels), picture), 0);
    // Placeable WMF: 192 units per inch shown at 96 DPI; a blt's source counts from the top.
    const QByteArray wmf =
        Wmf({WmfPoint(0x020B, 10, 20), WmfPoint(0x020C, 2 * part.width(), 2 * part.height()),
             DibStretchBlt(dib, QRect(QPoint(1, 3), part),
                           QRect(10, 20, 2 * part.width(), 2 * part.height()))},
            Placeable(QRect(10, 20, 2 * part.width(), 2 * part.height()), 192));
    EXPECT_EQ(MaxDifference(ReadMetafile(wmf, kMaxPixels), picture.copy(QRect(QPoint(1, 3), part))),
              0);
}

// EMF+ bitmaps with pixel data (not PNG), drawn through DrawImagePoints.
TEST(MetafileEmfPlusObjects, PixelDataBitmapThroughDrawImagePoints) {
    const QImage image = Pattern(9, 5, true);
    const QByteArray header = Bytes(
        [](QDataStream& s) { s << quint32(0xDBC01002) << quint32(1) << qint32(96) << qint32(96); });
    const QByteArray object = Bytes([&](QDataStream& s) {
        s << quint32(0xDBC01002) << quint32(1) << qint32(9) << qint32(5) << qint32(36)
          << quint32(0x0026200A) << quint32(0);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 9; ++x) {
                const QRgb c = image.pixel(x, y);
                s << quint8(qBlue(c)) << quint8(qGreen(c)) << quint8(qRed(c)) << quint8(qAlpha(c));
            }
        }
    });
    const QByteArray draw = Bytes([](QDataStream& s) {
        s << quint32(0) << qint32(2) << 0.0f << 0.0f << 9.0f << 5.0f << quint32(3) << qint16(0)
          << qint16(0) << qint16(9) << qint16(0) << qint16(0) << qint16(5);
    });
    const QByteArray emf =
        Emf(image.size(), {PlusRecord(0x4001, 1, header), PlusRecord(0x4008, 0x0503, object),
                           PlusRecord(0x401B, 0x4003, draw)});
    EXPECT_EQ(MaxDifference(ReadMetafile(emf, kMaxPixels), image), 0);
}

// --- recognising -------------------------------------------------------------------------------

struct SniffCase {
    const char* name;
    QByteArray head;
    MetafileKind expected;
};

class MetafileSniff : public testing::TestWithParam<SniffCase> {};

TEST_P(MetafileSniff, RecognisesMetafileHeaders) {
    EXPECT_EQ(SniffMetafile(GetParam().head), GetParam().expected);
}

QByteArray EmfStart() {
    return EmfHeader(10, 10, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Metafile, MetafileSniff,
    testing::Values(
        SniffCase{"Emf", EmfStart(), MetafileKind::Emf},
        SniffCase{"EmfCutBeforeSignature", EmfStart().left(43), MetafileKind::None},
        SniffCase{"EmfWrongSignature", EmfStart().replace(40, 4, "EMF "), MetafileKind::None},
        SniffCase{"WmfMemory", QByteArray::fromHex("010009000003"), MetafileKind::Wmf},
        SniffCase{"WmfDisk", QByteArray::fromHex("020009000003"), MetafileKind::Wmf},
        SniffCase{"WmfVersion1", QByteArray::fromHex("010009000001"), MetafileKind::Wmf},
        SniffCase{"WmfBadVersion", QByteArray::fromHex("010009000002"), MetafileKind::None},
        SniffCase{"WmfBadHeaderSize", QByteArray::fromHex("01000a000003"), MetafileKind::None},
        SniffCase{"Placeable", QByteArray::fromHex("d7cdc69a0000"), MetafileKind::Wmf},
        SniffCase{"Png", QByteArray::fromHex("89504e470d0a1a0a"), MetafileKind::None},
        SniffCase{"Empty", QByteArray(), MetafileKind::None}),
    [](const testing::TestParamInfo<SniffCase>& row) { return row.param.name; });

// --- hostile input -----------------------------------------------------------------------------

// Damaged PNG data inside the files makes Qt's decoder warn on every try.
class QuietQtMessages {
public:
    QuietQtMessages()
        : previous_(
              qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {})) {
    }
    ~QuietQtMessages() { qInstallMessageHandler(previous_); }
    QuietQtMessages(const QuietQtMessages&) = delete;
    QuietQtMessages& operator=(const QuietQtMessages&) = delete;

private:
    QtMessageHandler previous_;
};

// A file cut anywhere reads as nothing or as a picture of the frame's size; never a crash.
TEST(MetafileHostile, TruncatedFilesAtEveryLength) {
    const QuietQtMessages quiet;
    for (Writer write : {WriteEmf, WriteWmf}) {
        const QByteArray bytes = Write(write, Pattern(7, 5, true));
        for (qint64 length = 0; length < bytes.size(); ++length) {
            const QImage image = ReadMetafile(bytes.left(length), kMaxPixels);
            EXPECT_TRUE(image.isNull() || image.size() == QSize(7, 5)) << length;
        }
    }
}

TEST(MetafileHostile, RandomByteChangesWithAFixedSeed) {
    const QuietQtMessages quiet;
    std::mt19937 random(20240611);
    const QByteArray files[] = {
        Write(WriteEmf, Pattern(7, 5, true)), Write(WriteWmf, Pattern(6, 4, false)),
        Emf(QSize(kDibWidth, kDibHeight),
            {StretchDiBits(Rle8Dib(kDibWidth, kDibHeight), QRect(0, 0, kDibWidth, kDibHeight),
                           QRect(0, 0, kDibWidth, kDibHeight))})};
    constexpr qint64 kSmallLimit = qint64(1) << 20;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = files[round % 3];
        const int changes = 1 + int(random() % 8);
        for (int i = 0; i < changes; ++i) {
            bytes[qsizetype(random() % bytes.size())] = char(random());
        }
        const QImage image = ReadMetafile(bytes, kSmallLimit);
        EXPECT_LE(qint64(image.width()) * image.height(), kSmallLimit) << round;
    }
}

TEST(MetafileHostile, NothingToRenderGivesNoImage) {
    EXPECT_TRUE(ReadMetafile(QByteArray(), kMaxPixels).isNull());
    EXPECT_TRUE(ReadMetafile(QByteArray(4096, '\0'), kMaxPixels).isNull());
    EXPECT_TRUE(ReadMetafile(Emf(QSize(10, 10), {}), kMaxPixels).isNull());
    EXPECT_TRUE(ReadMetafile(Wmf({WmfPoint(0x020C, 10, 10)}), kMaxPixels).isNull());
    // A raster operation that ignores the bitmap fills with the brush: not drawn.
    const Dib dib = TrueColour(4, 4, 24, false);
    EXPECT_TRUE(ReadMetafile(Emf(QSize(4, 4), {StretchDiBits(dib, QRect(0, 0, 4, 4),
                                                             QRect(0, 0, 4, 4), 0x00F00021)}),
                             kMaxPixels)
                    .isNull());
}

TEST(MetafileHostile, FramesAndBitmapsBeyondTheLimitGiveNoImage) {
    const QByteArray emf = Write(WriteEmf, Pattern(640, 480, false));
    EXPECT_TRUE(ReadMetafile(emf, 640 * 480 - 1).isNull());
    EXPECT_EQ(ReadMetafile(emf, 640 * 480).size(), QSize(640, 480));
    // A header that claims a frame of 2^31 x 2^31.
    QByteArray huge = emf;
    Put32(huge, 16, 0x7FFFFFFF);
    Put32(huge, 20, 0x7FFFFFFF);
    Put32(huge, 32, 0x7FFFFFFF);
    Put32(huge, 36, 0x7FFFFFFF);
    EXPECT_TRUE(ReadMetafile(huge, kMaxPixels).isNull());
    // A DIB that claims 100000 x 100000 pixels in a few bytes.
    Dib liar = TrueColour(4, 4, 24, false);
    Put32(liar.info, 4, 100000);
    Put32(liar.info, 8, 100000);
    EXPECT_TRUE(
        ReadMetafile(Emf(QSize(4, 4), {StretchDiBits(liar, QRect(0, 0, 4, 4), QRect(0, 0, 4, 4))}),
                     kMaxPixels)
            .isNull());
    // A WMF whose embedded EMF claims a huge frame falls back to the WMF's own records.
    QByteArray wmf = Write(WriteWmf, Pattern(5, 5, false));
    std::vector<QByteArray> records = WmfRecords(wmf);
    Put32(records[0], 44 + 32, 0x7FFFFFFF);  // the embedded EMF's frame right; checksum now fails
    EXPECT_EQ(MaxDifference(ReadMetafile(JoinWmf(wmf, records), kMaxPixels), Pattern(5, 5, false)),
              0);
}

// Many records each stretching a bitmap over a large frame stop drawing when the pixel work
// allowed for one file is spent, instead of running for minutes: the last record is not drawn.
TEST(MetafileHostile, PixelWorkPerFileIsBounded) {
    auto solid = [](QRgb colour) {
        const QByteArray bits = Rows(
            2, 2, false,
            [&](QDataStream& s, int, int) {
                s << quint8(qBlue(colour)) << quint8(qGreen(colour)) << quint8(qRed(colour));
            },
            24);
        return Dib{InfoHeader(2, 2, 24, 0, 0, bits.size()), bits};
    };
    const QSize frame(2048, 2048);
    std::vector<QByteArray> records(
        1000, StretchDiBits(solid(qRgb(0, 0, 0)), QRect(0, 0, 2, 2), QRect(QPoint(0, 0), frame)));
    records.push_back(StretchDiBits(solid(qRgb(255, 0, 0)), QRect(0, 0, 2, 2), QRect(0, 0, 2, 2)));
    const QImage image = ReadMetafile(Emf(frame, records), kMaxPixels);
    ASSERT_EQ(image.size(), frame);
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));
    // Within the budget, the same last record is drawn.
    records.erase(records.begin() + 1, records.end() - 1);
    EXPECT_EQ(ReadMetafile(Emf(frame, records), kMaxPixels).pixel(0, 0), qRgb(255, 0, 0));
}

}  // namespace
}  // namespace corvane
