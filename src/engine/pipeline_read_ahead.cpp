// What the read-ahead helpers make of a file before its turn: loaded (or streamed from JPEG to
// PNG), turned and resized at the least size the run needs. Touches nothing of the pipeline that
// the processing thread changes.

#include "engine/pipeline.h"
#include "read_ahead.h"

namespace corvane {

PreparedFile Pipeline::Prepare(const QString& file, const ClaimMemory& claim) const {
    PreparedFile prepared;
    QSize declared;
    QSize planned;
    const auto planFor = [&](bool streamed) {
        return [&, streamed](const ImageProcessor::Declared& header) {
            declared = header.size;
            return PlanFile(header, streamed, &planned, claim, &prepared.memory);
        };
    };
    if (StreamsJpegToPng() && StreamJpeg(file, planFor(true), prepared)) {
        CountHeld(prepared);
        return prepared;
    }
    // A quarter turn may be made while the picture is decoded.
    const bool transforms =
        kind_ != OperationKind::DirectCopy && (settings_.rotate || settings_.resize);
    const int turn = transforms && settings_.rotate
                         ? ImageProcessor::QuarterTurnOf(static_cast<float>(settings_.rotateAngle))
                         : 0;
    bool turned = false;
    prepared.image =
        processor_.LoadImage(file, &prepared.raw, planFor(false), &prepared.error, turn, &turned);
    // Only the JPEG decoder shrinks; another picture of another size was turned by its EXIF.
    const bool shrunkOnLoad = prepared.image && prepared.raw == RawFormat::Jpeg &&
                              declared.isValid() && prepared.image->Image().size() != declared;
    prepared.loaded = IsUsable(prepared.image.get());
    if (!prepared.loaded) {
        CountHeld(prepared);
        return prepared;
    }
    BitmapPtr& image = prepared.image;
    if (transforms) {
        processor_.NormalizePixelFormat(image);
        if (settings_.rotate && !turned) {
            processor_.RotateByAngle(image, static_cast<float>(settings_.rotateAngle),
                                     settings_.rotateBackground);
        }
        if (settings_.resize) {
            Resize(image, planned, shrunkOnLoad);
        }
    }
    if (EncodesAhead()) {
        EncodeAhead(prepared);
    }
    CountHeld(prepared);
    return prepared;
}

bool Pipeline::StreamsJpegToPng() const {
    return kind_ == OperationKind::Plain && !settings_.sameAsSource && !settings_.rotate &&
           !settings_.resize && !watermark_.on && formats_.size() == 1 &&
           formats_.front().kind == FormatKind::Png && !formats_.front().encoderClsid.isNull();
}

bool Pipeline::StreamJpeg(const QString& file, const ImageProcessor::PlanFor& plan,
                          PreparedFile& prepared) const {
    EncodedFile encoded;
    switch (processor_.StreamJpegToPng(file, settings_.stripMetadata, &encoded, &prepared.error,
                                       pool_.get(), plan)) {
        case ImageProcessor::Streamed::Converted:
            prepared.loaded = true;
            prepared.raw = RawFormat::Jpeg;
            prepared.encoded.push_back(std::move(encoded));
            return true;
        case ImageProcessor::Streamed::Failed:
            return true;  // not loaded: `error` says why
        case ImageProcessor::Streamed::NotStreamed:
            break;
    }
    prepared.error = {};
    prepared.memory.Release();  // claimed again when the file is loaded
    return false;
}

void Pipeline::Resize(BitmapPtr& image, QSize plannedSize, bool shrunkOnLoad) const {
    if (shrunkOnLoad && plannedSize.isValid()) {
        // Decoded smaller than declared: go straight to the size the full picture would get.
        processor_.ResampleTo(image, plannedSize.width(), plannedSize.height());
    } else if (settings_.resizeByRatio) {
        processor_.ResizeByRatio(image, settings_.resizeRatio);
    } else if (settings_.resizeBySize) {
        processor_.ResizeToSize(image, settings_.resizeWidth, settings_.resizeHeight);
    } else if (settings_.resizeByLongEdge) {
        processor_.LimitLongEdge(image, settings_.longEdgeLimit);
    }
}

QSize Pipeline::LeastSizeFor(QSize declared, QSize* planned) const {
    if (kind_ == OperationKind::DirectCopy) {
        return {1, 1};  // the file is only checked to be a picture
    }
    const double angle = settings_.rotate ? settings_.rotateAngle : 0.0;
    const bool quarter = angle == 0.0 || angle == 90.0 || angle == 180.0 || angle == 270.0;
    if (!settings_.resize || !quarter) {
        return {};  // a free rotation's canvas depends on the whole picture
    }
    const bool turned = angle == 90.0 || angle == 270.0;
    const QSize shown = turned ? declared.transposed() : declared;
    const QSize target = ResizedSize(shown);
    if (!target.isValid()) {
        return {};
    }
    *planned = target;
    return turned ? target.transposed() : target;
}

QSize Pipeline::ResizedSize(QSize size) const {
    if (settings_.resizeByRatio) {
        return ImageProcessor::RatioSize(size, settings_.resizeRatio);
    }
    if (settings_.resizeBySize) {
        return ImageProcessor::ToSizeSize(size, settings_.resizeWidth, settings_.resizeHeight);
    }
    if (settings_.resizeByLongEdge) {
        return ImageProcessor::LongEdgeSize(size, settings_.longEdgeLimit);
    }
    return {};
}

}  // namespace corvane
