// What a file's processing takes in memory, told before its picture is decoded: a file that
// could never be held is refused, and helpers wait for room in the run's budget.

#include "file_preparer.h"
#include "platform/work_pool.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace corvane {
namespace {

// Every picture a run makes is ARGB32 or RGB32, or is made so before it is drawn.
constexpr double kBytesPerPixel = 4.0;
constexpr double kMiB = 1024.0 * 1024.0;
// What a JPEG streamed to PNG holds at once beside a progressive file's coefficients: the PNG
// writer's bands, four per deflating thread, each about 256 KiB of rows, as many filtered and as
// many deflated (png_writer.h), and the decoder's own buffers and window on the file.
constexpr double kStreamBytesPerWorker = 4 * 3 * 256.0 * 1024.0;
constexpr double kStreamDecoderBytes = 2.0 * kMiB;

double BytesOf(QSizeF size) {
    return size.width() * size.height() * kBytesPerPixel;
}

// The size the JPEG decoder gives when it shrinks to no less than `least` (1/2, 1/4, 1/8).
QSizeF DecodedSize(QSize declared, QSize least) {
    int denominator = 1;
    while (least.isValid() && denominator < 8 &&
           declared.width() / (denominator * 2) >= least.width() &&
           declared.height() / (denominator * 2) >= least.height()) {
        denominator *= 2;
    }
    return QSizeF(declared.width() / denominator, declared.height() / denominator);
}

}  // namespace

std::uint64_t FilePreparer::BytesToProcess(const ImageProcessor::Declared& declared, QSize least,
                                           bool streamed) const {
    const double decoder = static_cast<double>(declared.decoderBytes);
    const bool spilled = !run_.spillFolder.isEmpty();
    if (streamed) {
        // Made into a PNG a band of rows at a time. Its bytes wait in a spill file, or else in
        // memory: for a noisy photo they come near its samples (three bytes a pixel).
        const QSizeF size = DecodedSize(declared.size, least);
        const double png = spilled ? 0.0 : size.width() * size.height() * 3.0;
        const int deflating = pool_ != nullptr ? pool_->Helpers() + 1 : 1;
        const double bands = kStreamBytesPerWorker * deflating + kStreamDecoderBytes;
        return static_cast<std::uint64_t>(decoder + bands + png);
    }
    QSizeF picture = DecodedSize(declared.size, least);
    double peak = BytesOf(picture) + decoder;
    const BatchSettings& settings = run_.settings;
    if (run_.kind == OperationKind::DirectCopy) {
        return static_cast<std::uint64_t>(peak);
    }
    if (settings.rotate && settings.rotateAngle != 0.0) {
        // The turned picture is made beside the one it is turned from; drawing a turn by another
        // angle than a quarter also makes a premultiplied copy of the source.
        const double radians = qDegreesToRadians(settings.rotateAngle);
        const double cosine = std::abs(std::cos(radians));
        const double sine = std::abs(std::sin(radians));
        const QSizeF turned(picture.width() * cosine + picture.height() * sine,
                            picture.width() * sine + picture.height() * cosine);
        const bool quarter = ImageProcessor::QuarterTurnOf(float(settings.rotateAngle)) != 0;
        peak = std::max(peak, (quarter ? 1.0 : 2.0) * BytesOf(picture) + BytesOf(turned));
        picture = turned;
    }
    if (settings.resize) {
        const QSize from(static_cast<int>(std::min(picture.width(), 1e9)),
                         static_cast<int>(std::min(picture.height(), 1e9)));
        const QSize to = ResizedSize(from);
        if (to.isValid()) {
            peak = std::max(peak, BytesOf(picture) + BytesOf(to));
            picture = to;
        }
    }
    // Encoded outputs are held beside the picture (a watermarked copy too); no encoder gives
    // more bytes than the picture holds by much. Spilled, only the one being encoded counts.
    const double formats = spilled ? 1.0 : double(std::max<std::size_t>(run_.Formats().size(), 1));
    const double outputs = formats + (run_.watermark.on ? 1 : 0);
    peak = std::max(peak, BytesOf(picture) * (1.0 + outputs));
    return static_cast<std::uint64_t>(std::min(peak, 9.0e18));
}

ImageProcessor::DecodePlan FilePreparer::PlanFile(const ImageProcessor::Declared& declared,
                                                  bool streamed, QSize* planned,
                                                  const ClaimMemory& claim,
                                                  MemoryBudget::Hold* memory) const {
    ImageProcessor::DecodePlan plan;
    if (!declared.size.isValid()) {
        return plan;  // counted once it is decoded
    }
    plan.least = LeastSizeFor(declared.size, planned);
    const std::uint64_t whole = BytesToProcess(declared, {}, streamed);
    if (whole > run_.mostUsable) {
        plan.refusal = QStringLiteral(
                           "processing the %1 x %2 picture would take %3 MiB at once, "
                           "more than the %4 MiB this process may use")
                           .arg(declared.size.width())
                           .arg(declared.size.height())
                           .arg(std::ceil(double(whole) / kMiB), 0, 'f', 0)
                           .arg(std::floor(double(run_.mostUsable) / kMiB), 0, 'f', 0);
        return plan;
    }
    std::optional<MemoryBudget::Hold> hold = claim(BytesToProcess(declared, plan.least, streamed));
    if (!hold) {
        plan.refusal = QStringLiteral("the run stopped before the picture was decoded");
        return plan;
    }
    *memory = std::move(*hold);
    return plan;
}

void FilePreparer::CountHeld(PreparedFile& prepared) const {
    std::uint64_t held = prepared.image ? std::uint64_t(prepared.image->Image().sizeInBytes()) : 0;
    for (const std::optional<EncodedFile>& encoded : prepared.encoded) {
        held += encoded ? std::uint64_t(encoded->BytesInMemory()) : 0;
    }
    prepared.memory.SetTo(held, budget_);
}

}  // namespace corvane
