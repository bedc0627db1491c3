#pragma once
// Where an encoder writes the bytes of an EncodedFile: its spill file when the caller gave one,
// else its bytes in memory. Private to the imaging library.

#include "imaging/image_processor.h"

#include <QBuffer>

namespace corvane {

class EncodingTarget {
public:
    explicit EncodingTarget(EncodedFile& encoded) : spill_(encoded.spill.get()) {
        if (spill_ == nullptr) {
            memory_.setBuffer(&encoded.bytes);
            memory_.open(QIODevice::WriteOnly);
        }
    }

    QIODevice* Device() { return spill_ != nullptr ? spill_->Device() : &memory_; }

private:
    SpillFile* spill_;
    QBuffer memory_;
};

}  // namespace corvane
