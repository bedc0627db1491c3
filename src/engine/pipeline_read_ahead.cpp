// What the read-ahead helpers make of a file before its turn: loaded (or streamed from JPEG to
// PNG), turned and resized at the least size the run needs. Reads the run's snapshot only.

#include "file_preparer.h"

namespace corvane {
namespace {

// A run with nothing to write (no format, no operation) copies every file unchanged, as the
// dialog's direct-copy mode does, instead of never finishing its first file.
OperationKind EffectiveKind(const BatchSettings& settings) {
    if (settings.formats.empty() && settings.operationKind != OperationKind::Combine) {
        return OperationKind::DirectCopy;
    }
    return settings.operationKind;
}

WatermarkSettings CopyOf(const WatermarkSettings& watermark) {
    WatermarkSettings copy;
    copy.on = watermark.on;
    copy.text = watermark.text;
    if (watermark.picture) {
        copy.picture = std::make_unique<Bitmap>(*watermark.picture);
    }
    return copy;
}

// The output folder, when encoded bytes can wait there instead of in memory.
QString SpillFolderOf(const BatchSettings& settings) {
    return SpillFile::Create(settings.savePath) ? settings.savePath : QString();
}

}  // namespace

RunSnapshot::RunSnapshot(const ImageProcessor& imageProcessor, const BatchSettings& batchSettings,
                         const WatermarkSettings& runWatermark, int workerCount,
                         std::uint64_t mostUsableBytes)
    : processor(imageProcessor),
      settings(batchSettings),
      kind(EffectiveKind(batchSettings)),
      watermark(CopyOf(runWatermark)),
      workers(std::max(workerCount, 1)),
      mostUsable(mostUsableBytes),
      spillFolder(SpillFolderOf(settings)) {}

PreparedFile FilePreparer::Prepare(const QString& file, const ClaimMemory& claim) const {
    PreparedFile prepared;
    const BatchSettings& settings = run_.settings;
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
        run_.kind != OperationKind::DirectCopy && (settings.rotate || settings.resize);
    const int turn = transforms && settings.rotate
                         ? ImageProcessor::QuarterTurnOf(static_cast<float>(settings.rotateAngle))
                         : 0;
    bool turned = false;
    prepared.image = run_.processor.LoadImage(file, &prepared.raw, planFor(false), &prepared.error,
                                              turn, &turned);
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
        run_.processor.NormalizePixelFormat(image);
        if (settings.rotate && !turned) {
            run_.processor.RotateByAngle(image, static_cast<float>(settings.rotateAngle),
                                         settings.rotateBackground);
        }
        if (settings.resize) {
            Resize(image, planned, shrunkOnLoad);
        }
    }
    if (EncodesAhead()) {
        EncodeAhead(prepared);
    }
    CountHeld(prepared);
    return prepared;
}

bool FilePreparer::StreamsJpegToPng() const {
    const BatchSettings& settings = run_.settings;
    const std::vector<OutputFormat>& formats = run_.Formats();
    return run_.kind == OperationKind::Plain && !settings.sameAsSource && !settings.rotate &&
           !run_.watermark.on && formats.size() == 1 && formats.front().kind == FormatKind::Png &&
           !formats.front().encoderClsid.isNull();
}

bool FilePreparer::StreamJpeg(const QString& file, const ImageProcessor::PlanFor& plan,
                              PreparedFile& prepared) const {
    EncodedFile encoded;
    // The PNG goes where the picture's size says, known once the header is read.
    const auto planAndPlace = [&](const ImageProcessor::Declared& declared) {
        encoded = OutputFor(std::uint64_t(declared.size.width()) * declared.size.height() * 4);
        return plan(declared);
    };
    switch (run_.processor.StreamJpegToPng(file, run_.settings.stripMetadata, &encoded,
                                           &prepared.error, pool_, planAndPlace,
                                           run_.settings.resize)) {
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

void FilePreparer::Resize(BitmapPtr& image, QSize plannedSize, bool shrunkOnLoad) const {
    const BatchSettings& settings = run_.settings;
    const ImageProcessor& processor = run_.processor;
    if (shrunkOnLoad && plannedSize.isValid()) {
        // Decoded smaller than declared: go straight to the size the full picture would get.
        processor.ResampleTo(image, plannedSize.width(), plannedSize.height());
    } else if (settings.resizeByRatio) {
        processor.ResizeByRatio(image, settings.resizeRatio);
    } else if (settings.resizeBySize) {
        processor.ResizeToSize(image, settings.resizeWidth, settings.resizeHeight);
    } else if (settings.resizeByLongEdge) {
        processor.LimitLongEdge(image, settings.longEdgeLimit);
    }
}

QSize FilePreparer::LeastSizeFor(QSize declared, QSize* planned) const {
    const BatchSettings& settings = run_.settings;
    if (run_.kind == OperationKind::DirectCopy) {
        return {1, 1};  // the file is only checked to be a picture
    }
    const double angle = settings.rotate ? settings.rotateAngle : 0.0;
    const bool quarter = angle == 0.0 || angle == 90.0 || angle == 180.0 || angle == 270.0;
    if (!settings.resize || !quarter) {
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

QSize FilePreparer::ResizedSize(QSize size) const {
    const BatchSettings& settings = run_.settings;
    if (settings.resizeByRatio) {
        return ImageProcessor::RatioSize(size, settings.resizeRatio);
    }
    if (settings.resizeBySize) {
        return ImageProcessor::ToSizeSize(size, settings.resizeWidth, settings.resizeHeight);
    }
    if (settings.resizeByLongEdge) {
        return ImageProcessor::LongEdgeSize(size, settings.longEdgeLimit);
    }
    return {};
}

}  // namespace corvane
