#include "jpeg_turned.h"

#include "imaging/picture_memory.h"
#include "jpeg_rows.h"
#include "quarter_turn.h"

#include <algorithm>
#include <cstdint>

namespace corvane {
namespace {

// Rows decoded at a time: a strip of a wide picture stays in the second-level cache while its
// columns are written out as rows of the turned picture.
constexpr int kStripRows = 32;

bool DecodeInto(JpegRows& decoder, int degrees, QImage& target) {
    const int width = decoder.Size().width();
    const int height = decoder.Size().height();
    QImage strip(width, kStripRows, target.format());
    if (strip.isNull()) {
        return false;
    }
    std::uint8_t* pointers[kStripRows];
    for (int i = 0; i < kStripRows; ++i) {
        pointers[i] = strip.scanLine(i);
    }
    for (int y = 0; y < height; y += kStripRows) {
        const int rows = std::min(kStripRows, height - y);
        if (!decoder.Read(pointers, rows)) {
            return false;
        }
        const QImage decoded(strip.constBits(), width, rows, strip.bytesPerLine(), strip.format());
        TurnRowsInto(decoded, y, height, target, degrees);
    }
    return decoder.Finish();
}

}  // namespace

TurnedJpeg DecodeJpegTurned(QByteArrayView bytes, int degrees) {
    TurnedJpeg result;
    JpegRows decoder(bytes);
    if ((degrees != 90 && degrees != 180 && degrees != 270) || !decoder.ReadHeader() ||
        decoder.Samples() == 0 || decoder.Size().isEmpty()) {
        return result;
    }
    decoder.DecodeAsRgb32();
    const QSize size = decoder.Size();
    const QSize turned = degrees == 180 ? size : size.transposed();
    QImage image =
        NewPicture(turned.width(), turned.height(),
                   decoder.Samples() == 4 ? QImage::Format_RGB32 : QImage::Format_Grayscale8);
    if (image.isNull()) {
        return result;
    }
    // As Qt's reader: the colour profile and comments from the header (the markers are freed when
    // decoding ends), the resolution as it stands when decoding has ended.
    image.setColorSpace(decoder.ColourSpace());
    const QMap<QString, QString> texts = decoder.Texts();
    for (auto it = texts.begin(); it != texts.end(); ++it) {
        image.setText(it.key(), it.value());
    }
    if (!decoder.Start() || !DecodeInto(decoder, degrees, image)) {
        // Without a word from libjpeg, memory ran out: the ordinary path may still manage.
        result.error = decoder.Error();
        result.outcome =
            result.error.isEmpty() ? TurnedJpeg::Outcome::NotDecoded : TurnedJpeg::Outcome::Damaged;
        return result;
    }
    if (decoder.StatesResolution()) {
        image.setDotsPerMeterX(decoder.DotsPerMeterX());
        image.setDotsPerMeterY(decoder.DotsPerMeterY());
    }
    result.outcome = TurnedJpeg::Outcome::Decoded;
    result.image = std::move(image);
    return result;
}

}  // namespace corvane
