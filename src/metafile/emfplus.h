#pragma once
// Private to the metafile reader: the EMF+ records that an EMF carries in EMR_COMMENT records.

#include "canvas.h"
#include "records.h"

#include <QTransform>

#include <memory>

namespace corvane::metafile {

// Plays the EMF+ records of one file onto a canvas, keeping the EMF+ objects and graphics state
// from one comment record to the next.
class EmfPlusPlayer {
public:
    // `deviceToCanvas` takes device pixels of the recording to the canvas.
    EmfPlusPlayer(Canvas& canvas, const QTransform& deviceToCanvas, qint64 fileSize);
    ~EmfPlusPlayer();
    EmfPlusPlayer(const EmfPlusPlayer&) = delete;
    EmfPlusPlayer& operator=(const EmfPlusPlayer&) = delete;

    // Plays the EMF+ records of one comment.
    void Records(LeReader r);

    // An EmfPlusHeader was read.
    bool Seen() const;
    // The header says that EMF records drawing the same follow the EMF+ records.
    bool Dual() const;
    // The last EMF+ record was EmfPlusGetDC: EMF records are drawn until the next EMF+ record.
    bool GetDc() const;
    bool Drew() const;
    // A drawing record could not be drawn as it asks (an object kind we do not draw).
    bool Failed() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// An XFORM or EMF+ matrix: six 32-bit floats.
QTransform ReadMatrix(LeReader& r);

}  // namespace corvane::metafile
