// The EMF+ records of an EMF file: the records one comment holds, the header, the world and page
// transforms, and the table of objects the drawing records use. The drawing records themselves
// are played in emfplus_images.cpp, emfplus_shapes.cpp and emfplus_text.cpp; save, restore,
// containers and clipping in emfplus_graphics.cpp.

#include "emfplus.h"

#include "emfplus_player.h"

#include <cmath>

namespace corvane::metafile {

void EmfPlusPlayer::Impl::Records(LeReader r) {
    while (r.Ok() && r.Remaining() >= 12) {
        const qint64 start = r.Pos();
        const quint16 type = r.U16();
        const quint16 flags = r.U16();
        const quint32 size = r.U32();
        const quint32 dataSize = r.U32();
        if (size < 12 || size > r.Size() - start || dataSize > size - 12) {
            return;
        }
        Record(type, flags, r.Slice(start + 12, dataSize));
        r.Seek(start + size);
    }
}

void EmfPlusPlayer::Impl::Record(quint16 type, quint16 flags, LeReader r) {
    if (type != emfplus::kObject) {
        FinishObject();
    }
    plus_.getDc = type == emfplus::kGetDc;
    switch (type) {
        case emfplus::kHeader:
            plus_.dual = (flags & emfplus::kHeaderDual) != 0;
            PlusHeader(r);
            return;
        case emfplus::kObject:
            PlusObjectRecord(flags, r);
            return;
        case emfplus::kDrawImage:
            DrawPlusImage(flags, r);
            return;
        case emfplus::kDrawImagePoints:
            DrawPlusImagePoints(flags, r);
            return;
        default:
            break;
    }
    if (!TransformRecord(type, flags, r) && !GraphicsRecord(type, flags, r)) {
        Drawing(type, flags, r);
    }
}

bool EmfPlusPlayer::Impl::TransformRecord(quint16 type, quint16 flags, LeReader& r) {
    switch (type) {
        case emfplus::kSetWorldTransform: {
            const QTransform matrix = ReadMatrix(r);
            if (r.Ok()) {
                plus_.world = matrix;
            }
            return true;
        }
        case emfplus::kResetWorldTransform:
            plus_.world.reset();
            return true;
        case emfplus::kMultiplyWorldTransform: {
            const QTransform matrix = ReadMatrix(r);
            MultiplyWorld(flags, matrix, r.Ok());
            return true;
        }
        case emfplus::kTranslateWorldTransform: {
            const float dx = r.F32();
            const float dy = r.F32();
            MultiplyWorld(flags, QTransform::fromTranslate(dx, dy), r.Ok());
            return true;
        }
        case emfplus::kScaleWorldTransform: {
            const float sx = r.F32();
            const float sy = r.F32();
            MultiplyWorld(flags, QTransform::fromScale(sx, sy), r.Ok());
            return true;
        }
        case emfplus::kSetPageTransform: {
            const float scale = r.F32();
            if (r.Ok() && std::isfinite(scale) && scale > 0) {
                plus_.pageUnit = flags & 0xFF;
                plus_.pageScale = scale;
            }
            return true;
        }
        case emfplus::kRotateWorldTransform: {
            const float angle = r.F32();
            QTransform rotation;
            rotation.rotate(angle);
            MultiplyWorld(flags, rotation, r.Ok() && std::isfinite(angle));
            return true;
        }
        default:
            return false;
    }
}

void EmfPlusPlayer::Impl::PlusHeader(LeReader& r) {
    plus_.seen = true;
    r.Skip(8);  // version, flags
    const qint32 dpiX = r.I32();
    const qint32 dpiY = r.I32();
    if (r.Ok() && dpiX > 0 && dpiY > 0 && dpiX <= 100000 && dpiY <= 100000) {
        plus_.dpiX = dpiX;
        plus_.dpiY = dpiY;
    }
}

void EmfPlusPlayer::Impl::MultiplyWorld(quint16 flags, const QTransform& matrix, bool ok) {
    if (ok) {
        plus_.world =
            (flags & emfplus::kPostMultiply) ? plus_.world * matrix : matrix * plus_.world;
    }
}

QTransform EmfPlusPlayer::Impl::PageScale() const {
    double perUnitX = 1;
    double perUnitY = 1;
    switch (plus_.pageUnit) {
        case emfplus::kUnitPoint:
            perUnitX = plus_.dpiX / 72;
            perUnitY = plus_.dpiY / 72;
            break;
        case emfplus::kUnitInch:
            perUnitX = plus_.dpiX;
            perUnitY = plus_.dpiY;
            break;
        case emfplus::kUnitDocument:
            perUnitX = plus_.dpiX / 300;
            perUnitY = plus_.dpiY / 300;
            break;
        case emfplus::kUnitMillimeter:
            perUnitX = plus_.dpiX / 25.4;
            perUnitY = plus_.dpiY / 25.4;
            break;
        default:  // world, display and pixel: device pixels
            break;
    }
    return QTransform::fromScale(perUnitX * plus_.pageScale, perUnitY * plus_.pageScale);
}

QTransform EmfPlusPlayer::Impl::WorldToCanvas() const {
    return plus_.world * PageScale() * deviceToCanvas_;
}

double EmfPlusPlayer::Impl::DevicePerUnit(int unit) const {
    switch (unit) {
        case emfplus::kUnitDisplay:
        case emfplus::kUnitPixel:
            return 1;
        case emfplus::kUnitPoint:
            return plus_.dpiY / 72;
        case emfplus::kUnitInch:
            return plus_.dpiY;
        case emfplus::kUnitDocument:
            return plus_.dpiY / 300;
        case emfplus::kUnitMillimeter:
            return plus_.dpiY / 25.4;
        default:
            return 0;
    }
}

double EmfPlusPlayer::Impl::WorldLength(double length, int unit) const {
    const double perUnit = DevicePerUnit(unit);
    const double worldToDevice = LengthScale(plus_.world * PageScale());
    if (perUnit == 0 || worldToDevice <= 0) {
        return length;
    }
    return length * perUnit / worldToDevice;
}

// EmfPlusObject: images are kept by id; continued objects are gathered piece by piece. Both
// ways of ending a continued object are read: GDI+ sets the continue flag and the total size
// on every piece; the published description clears the flag, and the total size with it, on
// the last.
void EmfPlusPlayer::Impl::PlusObjectRecord(quint16 flags, LeReader r) {
    const int id = flags & 0xFF;
    const int type = (flags >> 8) & 0x7F;
    const bool continued = (flags & emfplus::kObjectContinued) != 0;
    if (id >= int(plus_.objects.size())) {
        return;
    }
    PendingObject& pending = plus_.pending;
    if (pending.id == id && pending.type == type) {
        const qint64 missing = pending.total - pending.bytes.size();
        if (continued || r.Size() - 4 == missing) {
            r.Skip(4);
        }
        AppendPiece(r.Rest());
        if (!continued || pending.bytes.size() == pending.total) {
            FinishObject();
        }
        return;
    }
    FinishObject();
    if (!continued) {
        StoreObject(id, type, QByteArray(r.Data(), r.Size()));
        return;
    }
    const quint32 total = r.U32();
    if (!r.Ok() || total > fileSize_) {
        return;  // cannot be gathered from this file
    }
    pending = PendingObject{id, type, total, {}};
    AppendPiece(r.Rest());
    if (pending.bytes.size() == pending.total) {
        FinishObject();
    }
}

void EmfPlusPlayer::Impl::AppendPiece(const LeReader& piece) {
    PendingObject& pending = plus_.pending;
    if (!piece.Ok() || piece.Size() > pending.total - pending.bytes.size()) {
        pending = PendingObject{};  // more than the object's size: not this object
        return;
    }
    pending.bytes.append(piece.Data(), piece.Size());
}

void EmfPlusPlayer::Impl::FinishObject() {
    PendingObject& pending = plus_.pending;
    if (pending.id >= 0 && pending.bytes.size() == pending.total) {
        StoreObject(pending.id, pending.type, std::move(pending.bytes));
    }
    pending = PendingObject{};
}

void EmfPlusPlayer::Impl::StoreObject(int id, int type, QByteArray bytes) {
    PlusObject& object = plus_.objects[size_t(id)];
    object = PlusObject{};
    object.type = type;
    object.bytes = std::move(bytes);
}

LeReader EmfPlusPlayer::Impl::Object(int id, int type) const {
    if (id < 0 || id >= int(plus_.objects.size()) || plus_.objects[size_t(id)].type != type) {
        return LeReader().Slice(0, 1);
    }
    return LeReader(plus_.objects[size_t(id)].bytes);
}

EmfPlusPlayer::EmfPlusPlayer(Canvas& canvas, const QTransform& deviceToCanvas, qint64 fileSize)
    : impl_(std::make_unique<Impl>(canvas, deviceToCanvas, fileSize)) {}

EmfPlusPlayer::~EmfPlusPlayer() = default;

void EmfPlusPlayer::Records(LeReader r) {
    impl_->Records(r);
}

bool EmfPlusPlayer::Seen() const {
    return impl_->Seen();
}

bool EmfPlusPlayer::GetDc() const {
    return impl_->GetDc();
}

bool EmfPlusPlayer::Dual() const {
    return impl_->Dual();
}

bool EmfPlusPlayer::Drew() const {
    return impl_->Drew();
}

bool EmfPlusPlayer::Failed() const {
    return impl_->Failed();
}

QTransform ReadMatrix(LeReader& r) {
    const float m11 = r.F32();
    const float m12 = r.F32();
    const float m21 = r.F32();
    const float m22 = r.F32();
    const float dx = r.F32();
    const float dy = r.F32();
    return QTransform(m11, m12, m21, m22, dx, dy);
}

}  // namespace corvane::metafile
