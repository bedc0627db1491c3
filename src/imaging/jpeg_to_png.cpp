// A JPEG made into a PNG a band of rows at a time, without ever holding its picture.
//
// A run that only changes the format of its files decodes and encodes every picture whole; for
// a large JPEG that is its pixels and, when progressive, libjpeg's coefficients at once. Here the
// rows go from the decoder to the PNG writer as it asks for them, and the decoder reads the file
// a window at a time, so only the coefficients (for a progressive file) and a few bands of rows
// are held. The file is the one LoadImage and SaveImage would write: the rows are Qt's reader's,
// and the colour profile, resolution and metadata are taken as the loader takes them. A file
// this path does not take (not a JPEG, CMYK, turned by its EXIF orientation, very large) is left
// to LoadImage.

#include "allocation.h"
#include "encoding_target.h"
#include "imaging/image_processor.h"
#include "imaging/metadata.h"
#include "jpeg_rows.h"
#include "metadata_stream.h"
#include "platform/file_system.h"
#include "png_writer.h"
#include "truncation.h"

#include <QColorSpace>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cstring>
#include <vector>

namespace corvane {
namespace {

using Streamed = ImageProcessor::Streamed;

// The rows the PNG writer asks for, decoded as it asks; the last row of a range is kept for the
// next range, which starts with it.
class DecodedRows final : public PngRowSource {
public:
    DecodedRows(JpegRows& decoder, std::size_t stride) : decoder_(decoder), stride_(stride) {}

    bool Fill(int first, int end) override {
        // Rows already decoded that the new range still needs move to the front.
        const int kept = std::max(0, end_ - first);
        if (kept > 0) {
            std::memmove(rows_.data(), Start(first), static_cast<std::size_t>(kept) * stride_);
        }
        rows_.resize(static_cast<std::size_t>(end - first) * stride_);
        std::vector<std::uint8_t*> pointers;
        for (int y = end_; y < end; ++y) {
            pointers.push_back(rows_.data() + static_cast<std::size_t>(y - first) * stride_);
        }
        first_ = first;
        end_ = end;
        return pointers.empty() ||
               decoder_.Read(pointers.data(), static_cast<int>(pointers.size()));
    }

    void CopyRow(int y, std::uint8_t* out) const override { std::memcpy(out, Start(y), stride_); }

private:
    const std::uint8_t* Start(int y) const {
        return rows_.data() + static_cast<std::size_t>(y - first_) * stride_;
    }

    JpegRows& decoder_;
    const std::size_t stride_;
    std::vector<std::uint8_t> rows_;
    int first_ = 0;
    int end_ = 0;
};

// Turned or mirrored by its EXIF orientation, as Qt's reader (which the loader follows) sees it.
bool TurnedByExif(QIODevice* device) {
    QImageReader reader(device, "jpeg");
    return reader.transformation() != QImageIOHandler::TransformationNone;
}

// The resolution as the loader's picture has it: set on a new image as Qt's reader sets it, which
// ignores a resolution of 0 and reads it when decoding has ended.
QSize ResolutionOf(const JpegRows& decoder, QImage::Format format) {
    QImage fresh(1, 1, format);
    if (decoder.StatesResolution()) {
        fresh.setDotsPerMeterX(decoder.DotsPerMeterX());
        fresh.setDotsPerMeterY(decoder.DotsPerMeterY());
    }
    return {fresh.dotsPerMeterX(), fresh.dotsPerMeterY()};
}

// The picture as the loader would give it, its colour space from the header as Qt's reader reads
// it. The resolution is what the file has stated so far.
PngPicture PictureOf(const JpegRows& decoder, const QColorSpace& space) {
    PngPicture picture;
    picture.size = decoder.Size();
    picture.format = decoder.Samples() == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888;
    picture.colourSpace = space;
    const QSize resolution = ResolutionOf(decoder, picture.format);
    picture.dotsPerMeterX = resolution.width();
    picture.dotsPerMeterY = resolution.height();
    return picture;
}

// The metadata chunks of the output; none when the metadata is stripped or there is none.
std::vector<PngChunk> MetadataChunks(const QByteArray& bytes, const JpegRows& decoder,
                                     bool stripMetadata, LoadError* error, EncodedFile* encoded) {
    if (stripMetadata) {
        return {};
    }
    const MetadataRead metadata = ReadMetadata(bytes, decoder.Texts());
    error->metadataProblem = metadata.problem;
    if (metadata.metadata == nullptr) {
        return {};
    }
    std::optional<MetadataBlocks> blocks =
        EncodeMetadataBlocks(*metadata.metadata, decoder.Size(), &encoded->metadataProblem);
    return blocks ? PngMetadataChunks(*blocks) : std::vector<PngChunk>{};
}

Streamed Corrupt(LoadError* error, const QString& why) {
    *error = {
        LoadError::Kind::Corrupt, QStringLiteral("damaged or truncated: %1").arg(why), {}, {}};
    return Streamed::Failed;
}

// Opens the file at its start when it may be a JPEG this path takes: not turned by its EXIF
// orientation, which the loader turns, and small enough to be read into memory whole.
bool OpenJpegFile(const QString& path, QFile& file) {
    QString why;
    return OpenRegularFile(path, file, &why) && file.size() <= kMaxInMemoryFileBytes &&
           file.peek(3).startsWith("\xFF\xD8\xFF") && !TurnedByExif(&file) && file.seek(0);
}

// The whole file, read without moving the decoder's place in it; null when it cannot be read
// whole.
QByteArray ReadWhole(QFile& file) {
    const qint64 at = file.pos();
    QByteArray bytes;
    if (file.seek(0)) {
        bytes = file.read(file.size());
    }
    return bytes.size() == file.size() && file.seek(at) ? bytes : QByteArray();
}

// Asks the plan, and shrinks the decoder to the size it asks for when the run resizes: only to
// a size that the decoder makes while decoding and that the resize then leaves as it is.
// Converted to go on; Failed when the plan refuses the file; NotStreamed for any other size.
Streamed FollowPlan(JpegRows& decoder, qint64 fileBytes, const ImageProcessor::PlanFor& plan,
                    bool resized, LoadError* error) {
    if (!plan) {
        return resized ? Streamed::NotStreamed : Streamed::Converted;
    }
    // The file is held whole before decoding starts, the coefficients once it has.
    const std::uint64_t held =
        std::max(decoder.CoefficientBytes(), static_cast<std::uint64_t>(fileBytes));
    const ImageProcessor::DecodePlan decided = plan({decoder.Size(), held});
    if (!decided.refusal.isEmpty()) {
        *error = {LoadError::Kind::TooLarge, decided.refusal, {}, {}};
        return Streamed::Failed;
    }
    return !resized || decoder.ShrinkTo(decided.least) ? Streamed::Converted
                                                       : Streamed::NotStreamed;
}

}  // namespace

ImageProcessor::Streamed ImageProcessor::StreamJpegToPng(const QString& path, bool stripMetadata,
                                                         EncodedFile* encoded, LoadError* error,
                                                         WorkPool* pool, const PlanFor& plan,
                                                         bool resized) const {
    *error = {};
    QFile file;
    if (!OpenJpegFile(path, file)) {
        return Streamed::NotStreamed;  // the loader says why, or turns it
    }
    // The decoder reads the file a window at a time.
    JpegRows decoder(&file);
    if (!decoder.ReadHeader() || decoder.Samples() == 0 || decoder.Size().isEmpty() ||
        qint64(decoder.Size().width()) * decoder.Size().height() > kMaxLoadPixels) {
        return Streamed::NotStreamed;
    }
    if (const Streamed planned = FollowPlan(decoder, file.size(), plan, resized, error);
        planned != Streamed::Converted) {
        return planned;
    }
    // Read whole only once the plan has made room: for what looks at the file as a whole
    // (metadata, truncation), and dropped before decoding.
    QByteArray bytes = ReadWhole(file);
    if (bytes.isNull()) {
        return Streamed::NotStreamed;
    }
    const std::vector<PngChunk> chunks =
        MetadataChunks(bytes, decoder, stripMetadata, error, encoded);
    error->truncated = TruncationOf(bytes, RawFormat::Jpeg);
    bytes = QByteArray();
    const QColorSpace space = decoder.ColourSpace();
    if (!decoder.Start()) {
        return Corrupt(error, decoder.Error());
    }
    const PngPicture picture = PictureOf(decoder, space);
    DecodedRows rows(decoder, static_cast<std::size_t>(picture.size.width()) *
                                  static_cast<std::size_t>(decoder.Samples()));
    EncodingTarget target(*encoded);
    const bool written =
        WritePngRows(picture, rows, target.Device(), pool, chunks) && decoder.Finish();
    if (!written && !decoder.Error().isEmpty()) {
        *encoded = {};
        return Corrupt(error, decoder.Error());
    }
    // A JFIF segment among the image data may restate the resolution after the header was
    // written: such a file is left to the loader.
    if (!written || ResolutionOf(decoder, picture.format) !=
                        QSize(picture.dotsPerMeterX, picture.dotsPerMeterY)) {
        *encoded = {};
        return Streamed::NotStreamed;
    }
    return Streamed::Converted;
}

}  // namespace corvane
