// Little-endian record reading and writing for the metafile writer and reader.

#include "records.h"

#include <QtEndian>

#include <bit>

namespace corvane::metafile {

// --- LeReader ----------------------------------------------------------------------------------

bool LeReader::Has(qint64 count) {
    if (!ok_ || count < 0 || count > size_ - pos_) {
        ok_ = false;
        pos_ = size_;
        return false;
    }
    return true;
}

quint8 LeReader::U8() {
    if (!Has(1)) {
        return 0;
    }
    return quint8(data_[pos_++]);
}

quint16 LeReader::U16() {
    if (!Has(2)) {
        return 0;
    }
    const quint16 value = qFromLittleEndian<quint16>(data_ + pos_);
    pos_ += 2;
    return value;
}

quint32 LeReader::U32() {
    if (!Has(4)) {
        return 0;
    }
    const quint32 value = qFromLittleEndian<quint32>(data_ + pos_);
    pos_ += 4;
    return value;
}

float LeReader::F32() {
    return std::bit_cast<float>(U32());
}

void LeReader::Skip(qint64 count) {
    if (Has(count)) {
        pos_ += count;
    }
}

void LeReader::Seek(qint64 pos) {
    if (!ok_ || pos < 0 || pos > size_) {
        ok_ = false;
        pos_ = size_;
        return;
    }
    pos_ = pos;
}

LeReader LeReader::Slice(qint64 offset, qint64 length) const {
    if (!ok_ || offset < 0 || length < 0 || offset > size_ || length > size_ - offset) {
        LeReader failed;
        failed.ok_ = false;
        return failed;
    }
    return LeReader(data_ + offset, length);
}

// --- writing -----------------------------------------------------------------------------------

void SetUpStream(QDataStream& stream) {
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.setFloatingPointPrecision(QDataStream::SinglePrecision);
}

void PutU32(QByteArray& bytes, qint64 offset, quint32 value) {
    Q_ASSERT(offset >= 0 && offset + 4 <= bytes.size());
    qToLittleEndian(value, bytes.data() + offset);
}

void PutU16(QByteArray& bytes, qint64 offset, quint16 value) {
    Q_ASSERT(offset >= 0 && offset + 2 <= bytes.size());
    qToLittleEndian(value, bytes.data() + offset);
}

}  // namespace corvane::metafile
