// EMF+ save and restore, containers, and clipping.

#include "emfplus_player.h"

#include <algorithm>

namespace corvane::metafile {

bool EmfPlusPlayer::Impl::GraphicsRecord(quint16 type, quint16 flags, LeReader& r) {
    const int combine = (flags >> 8) & 0x0F;
    switch (type) {
        case emfplus::kSave:
        case emfplus::kBeginContainerNoParams:
            Push(r.U32());
            return true;
        case emfplus::kBeginContainer: {
            const QRectF dest = ReadPlusRect(r, 0);
            const QRectF source = ReadPlusRect(r, 0);
            const quint32 id = r.U32();
            if (!r.Ok()) {
                return true;
            }
            Push(id);
            if (source.width() != 0 && source.height() != 0) {
                plus_.world = RectToRect(source, dest) * plus_.world;
            }
            return true;
        }
        case emfplus::kRestore:
        case emfplus::kEndContainer:
            Pop(r.U32());
            return true;
        case emfplus::kResetClip:
            plus_.clip.reset();
            return true;
        case emfplus::kSetClipRect: {
            QPainterPath path;
            path.addRect(ReadPlusRect(r, 0));
            if (r.Ok()) {
                Clip(path, combine);
            }
            return true;
        }
        case emfplus::kSetClipPath: {
            const LeReader object = Object(flags & 0xFF, emfplus::kObjectTypePath);
            if (const auto path = object.Ok() ? ReadPlusPath(object) : std::nullopt) {
                Clip(*path, combine);
            }
            return true;
        }
        case emfplus::kSetClipRegion:
            if (const auto region = Region(flags & 0xFF)) {
                Clip(*region, combine);
            }
            return true;
        case emfplus::kOffsetClip: {
            const float dx = r.F32();
            const float dy = r.F32();
            const QTransform toCanvas = WorldToCanvas();
            if (r.Ok() && plus_.clip && Usable(toCanvas)) {
                const QPointF offset = toCanvas.map(QPointF(dx, dy)) - toCanvas.map(QPointF());
                plus_.clip = std::make_shared<const QPainterPath>(plus_.clip->translated(offset));
            }
            return true;
        }
        default:
            return false;
    }
}

void EmfPlusPlayer::Impl::Push(quint32 id) {
    constexpr size_t kMaxSaved = 1024;
    if (plus_.saved.size() < kMaxSaved) {
        plus_.saved.push_back(SavedGraphics{id, plus_.world, plus_.clip});
    }
}

void EmfPlusPlayer::Impl::Pop(quint32 id) {
    auto& saved = plus_.saved;
    const auto found = std::find_if(saved.rbegin(), saved.rend(),
                                    [id](const SavedGraphics& s) { return s.id == id; });
    if (found == saved.rend()) {
        return;
    }
    plus_.world = found->world;
    plus_.clip = found->clip;
    saved.erase(std::next(found).base(), saved.end());
}

// CombineModeReplace, Intersect, Union, XOR, Exclude and Complement of a world-unit shape.
void EmfPlusPlayer::Impl::Clip(const QPainterPath& world, int combine) {
    const QTransform toCanvas = WorldToCanvas();
    const QPainterPath current = plus_.clip ? *plus_.clip : [this] {
        QPainterPath all;
        all.addRect(canvas_.Rect());
        return all;
    }();
    if (!Usable(toCanvas) ||
        !canvas_.Spend(kWorkPerCall + 4 * (current.elementCount() + world.elementCount()))) {
        return;
    }
    const QPainterPath path = toCanvas.map(world);
    QPainterPath result;
    switch (combine) {
        case 0:
            result = path;
            break;
        case 1:
            result = current.intersected(path);
            break;
        case 2:
            result = current.united(path);
            break;
        case 3:
            result = current.subtracted(path).united(path.subtracted(current));
            break;
        case 4:
            result = current.subtracted(path);
            break;
        case 5:
            result = path.subtracted(current);
            break;
        default:
            return;
    }
    plus_.clip =
        std::make_shared<const QPainterPath>(CutToCanvas(result, canvas_.Rect(), false, 0));
}

}  // namespace corvane::metafile
