#pragma once
// Building metafiles field by field in little-endian order, independently of the product's own
// writer, and reading fields back: for the metafile tests and the fuzz seeds.

#include <QByteArray>
#include <QDataStream>
#include <QRect>
#include <QtEndian>

#include <QString>

#include <algorithm>
#include <bit>
#include <initializer_list>
#include <vector>

namespace corvane::metafile_test {

inline quint32 U32(const QByteArray& b, qint64 at) {
    return qFromLittleEndian<quint32>(b.constData() + at);
}
inline qint32 I32(const QByteArray& b, qint64 at) {
    return qint32(U32(b, at));
}
inline quint16 U16(const QByteArray& b, qint64 at) {
    return qFromLittleEndian<quint16>(b.constData() + at);
}
inline qint16 I16(const QByteArray& b, qint64 at) {
    return qint16(U16(b, at));
}
inline float F32(const QByteArray& b, qint64 at) {
    return std::bit_cast<float>(U32(b, at));
}
inline void Put32(QByteArray& b, qint64 at, quint32 v) {
    qToLittleEndian(v, b.data() + at);
}
inline void Put16(QByteArray& b, qint64 at, quint16 v) {
    qToLittleEndian(v, b.data() + at);
}

template <typename Body>
QByteArray Bytes(Body&& body) {
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    body(s);
    return bytes;
}

inline QByteArray Ints(std::initializer_list<qint32> values) {
    return Bytes([&](QDataStream& s) {
        for (qint32 v : values) {
            s << v;
        }
    });
}

inline QByteArray Shorts(std::initializer_list<qint16> values) {
    return Bytes([&](QDataStream& s) {
        for (qint16 v : values) {
            s << v;
        }
    });
}

inline QByteArray Floats(std::initializer_list<float> values) {
    return Bytes([&](QDataStream& s) {
        for (float v : values) {
            s << v;
        }
    });
}

inline QByteArray Utf16(const QString& text) {
    return Bytes([&](QDataStream& s) {
        for (QChar c : text) {
            s << quint16(c.unicode());
        }
    });
}

// An EMF made of `records` with the header's size and count set to match.
inline QByteArray JoinEmf(const std::vector<QByteArray>& records) {
    QByteArray emf;
    for (const QByteArray& record : records) {
        emf += record;
    }
    Put32(emf, 48, quint32(emf.size()));
    Put32(emf, 52, quint32(records.size()));
    return emf;
}

inline QByteArray JoinWmf(const QByteArray& header, const std::vector<QByteArray>& records) {
    QByteArray wmf = header.left(18);
    for (const QByteArray& record : records) {
        wmf += record;
    }
    Put32(wmf, 6, quint32(wmf.size() / 2));
    return wmf;
}

inline QByteArray EmfHeader(int width, int height, quint32 records) {
    return Bytes([&](QDataStream& s) {
        s << quint32(1) << quint32(108) << qint32(0) << qint32(0) << qint32(width - 1)
          << qint32(height - 1) << qint32(0) << qint32(0) << qint32(width * 2540 / 96)
          << qint32(height * 2540 / 96) << quint32(0x464D4520) << quint32(0x10000) << quint32(0)
          << records << quint16(1) << quint16(0) << quint32(0) << quint32(0) << quint32(0)
          << qint32(1920) << qint32(1440) << qint32(508) << qint32(381) << quint32(0) << quint32(0)
          << quint32(0) << quint32(508000) << quint32(381000);
    });
}

inline QByteArray EmfRecord(quint32 type, const QByteArray& fields) {
    return Bytes([&](QDataStream& s) { s << type << quint32(8 + fields.size()); }) + fields;
}

// One EMF+ record in an EMR_COMMENT of its own.
inline QByteArray PlusRecord(quint16 type, quint16 flags, const QByteArray& data) {
    const QByteArray record = Bytes([&](QDataStream& s) {
                                  s << type << flags << quint32(12 + data.size())
                                    << quint32(data.size());
                              }) +
                              data;
    return EmfRecord(70, Ints({qint32(4 + record.size()), 0x2B464D45}) + record);
}

inline QByteArray EmfEof() {
    return EmfRecord(14,
                     Bytes([](QDataStream& s) { s << quint32(0) << quint32(16) << quint32(20); }));
}

inline QByteArray Emf(QSize frame, const std::vector<QByteArray>& records) {
    std::vector<QByteArray> all = {EmfHeader(frame.width(), frame.height(), 0)};
    all.insert(all.end(), records.begin(), records.end());
    all.push_back(EmfEof());
    return JoinEmf(all);
}

inline QByteArray WmfRecord(quint16 function, const QByteArray& fields) {
    QByteArray padded = fields;
    padded.resize(fields.size() + fields.size() % 2, '\0');
    return Bytes([&](QDataStream& s) { s << quint32(3 + padded.size() / 2) << function; }) + padded;
}

inline QByteArray Wmf(const std::vector<QByteArray>& records, const QByteArray& placeable = {}) {
    QByteArray body;
    quint32 largest = 3;
    for (const QByteArray& r : records) {
        body += r;
        largest = std::max(largest, U32(r, 0));
    }
    body += WmfRecord(0, {});
    return placeable + Bytes([&](QDataStream& s) {
               s << quint16(1) << quint16(9) << quint16(0x300) << quint32(9 + body.size() / 2)
                 << quint16(0) << largest << quint16(0);
           }) +
           body;
}

inline QByteArray Placeable(QRect box, int unitsPerInch) {
    QByteArray header = Bytes([&](QDataStream& s) {
        s << quint32(0x9AC6CDD7) << quint16(0) << qint16(box.left()) << qint16(box.top())
          << qint16(box.left() + box.width()) << qint16(box.top() + box.height())
          << quint16(unitsPerInch) << quint32(0);
    });
    quint16 checksum = 0;
    for (int i = 0; i < 20; i += 2) {
        checksum ^= U16(header, i);
    }
    return header + Bytes([&](QDataStream& s) { s << checksum; });
}

}  // namespace corvane::metafile_test
