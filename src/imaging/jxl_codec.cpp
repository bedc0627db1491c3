// JPEG XL through libjxl: reading the picture (the first frame of an animation) with its colour
// profile and its Exif and XMP boxes, or the whole JPEG a recompressed file was made from (for
// that JPEG's metadata). Every call into libjxl is in this file.
//
// libjxl turns the picture as its codestream's orientation says (the EXIF orientation must not be
// applied again) and hands the pixels over in the colour space it reports for them; an 8-bit
// opaque picture is decoded straight into its RGB888 QImage.

#include "high_bit_depth.h"
#include "imaging/picture_memory.h"
#include "today_formats.h"

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>

#include <QColorSpace>

#include <algorithm>
#include <cstring>
#include <vector>

namespace corvane {
namespace {

using Kind = LoadError::Kind;

// Exif and XMP boxes larger than this are left out rather than read.
constexpr size_t kMaxBoxBytes = 16u << 20;

TodayPicture Damaged(const char* what) {
    return TodayFailure(Kind::Corrupt,
                        QStringLiteral("damaged or truncated: %1").arg(QLatin1String(what)));
}

// Collects the content of the box being read, growing its buffer as libjxl asks.
class BoxReader {
public:
    void Start(JxlDecoder* decoder, QByteArray* target) {
        target_ = target;
        target_->resize(64 * 1024);
        JxlDecoderSetBoxBuffer(decoder, reinterpret_cast<uint8_t*>(target_->data()),
                               size_t(target_->size()));
    }
    // More room for the box; false when it is larger than any metadata kept.
    bool Grow(JxlDecoder* decoder) {
        const size_t left = JxlDecoderReleaseBoxBuffer(decoder);
        const size_t used = size_t(target_->size()) - left;
        if (target_->size() * 2 > qsizetype(kMaxBoxBytes)) {
            target_->clear();
            target_ = nullptr;
            return false;
        }
        target_->resize(target_->size() * 2);
        JxlDecoderSetBoxBuffer(decoder, reinterpret_cast<uint8_t*>(target_->data()) + used,
                               size_t(target_->size()) - used);
        return true;
    }
    // Ends the box being read, if any.
    void Finish(JxlDecoder* decoder) {
        if (target_ != nullptr) {
            target_->chop(qsizetype(JxlDecoderReleaseBoxBuffer(decoder)));
            target_ = nullptr;
        }
    }

private:
    QByteArray* target_ = nullptr;
};

// The decoding state between libjxl's events.
struct JxlRead {
    JxlBasicInfo info{};
    QColorSpace space;
    HdrTransfer transfer = HdrTransfer::None;
    JxlPixelFormat format{};
    QImage image;                   // the 8-bit target, or null while 16-bit samples are read
    std::vector<uint16_t> samples;  // the 16-bit target
    QByteArray exif;
    QByteArray xmp;
    BoxReader box;
    bool recompressedJpeg = false;  // the file holds what rebuilds the JPEG it was made from
};

void ReadColour(JxlDecoder* decoder, JxlRead& read) {
    JxlColorEncoding encoding;
    if (JxlDecoderGetColorAsEncodedProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                           &encoding) == JXL_DEC_SUCCESS) {
        read.transfer = HdrTransferOf(int(encoding.transfer_function));
        if (encoding.color_space == JXL_COLOR_SPACE_RGB &&
            encoding.primaries == JXL_PRIMARIES_SRGB &&
            encoding.white_point == JXL_WHITE_POINT_D65 &&
            (encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB ||
             encoding.transfer_function == JXL_TRANSFER_FUNCTION_709)) {
            return;  // plain sRGB: no profile
        }
    }
    size_t size = 0;
    if (JxlDecoderGetICCProfileSize(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0 || size > kMaxBoxBytes) {
        return;
    }
    QByteArray icc(qsizetype(size), Qt::Uninitialized);
    if (JxlDecoderGetColorAsICCProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                       reinterpret_cast<uint8_t*>(icc.data()),
                                       size) == JXL_DEC_SUCCESS) {
        read.space = QColorSpace::fromIccProfile(icc);
    }
}

// Sets the buffer libjxl decodes into: the QImage itself for 8 bits, samples for more.
bool SetOutput(JxlDecoder* decoder, JxlRead& read, int width, int height) {
    const bool alpha = read.info.alpha_bits > 0;
    const bool deep = read.info.bits_per_sample > 8 || read.transfer != HdrTransfer::None;
    read.format = {alpha ? 4u : 3u, deep ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN,
                   deep ? 0u : 4u};
    size_t size = 0;
    if (JxlDecoderImageOutBufferSize(decoder, &read.format, &size) != JXL_DEC_SUCCESS) {
        return false;
    }
    void* buffer = nullptr;
    if (deep) {
        read.samples.resize(size / 2);
        buffer = read.samples.data();
    } else {
        read.image =
            NewPicture(width, height, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
        if (read.image.isNull() || size_t(read.image.sizeInBytes()) < size) {
            return false;
        }
        buffer = read.image.bits();
        size = size_t(read.image.sizeInBytes());
    }
    return JxlDecoderSetImageOutBuffer(decoder, &read.format, buffer, size) == JXL_DEC_SUCCESS;
}

// Starts reading an Exif or XMP box; other boxes are passed over.
void StartBox(JxlDecoder* decoder, JxlRead& read) {
    JxlBoxType type;
    if (JxlDecoderGetBoxType(decoder, type, JXL_TRUE) != JXL_DEC_SUCCESS) {
        return;
    }
    if (std::memcmp(type, "jbrd", 4) == 0) {
        read.recompressedJpeg = true;
    } else if (std::memcmp(type, "Exif", 4) == 0 && read.exif.isEmpty()) {
        read.box.Start(decoder, &read.exif);
    } else if (std::memcmp(type, "xml ", 4) == 0 && read.xmp.isEmpty()) {
        read.box.Start(decoder, &read.xmp);
    }
}

// The picture in 8 bits, as the loader wants it.
QImage Finished(JxlRead& read, int width, int height) {
    if (read.image.isNull()) {
        return EightBitPicture(read.samples.data(), qsizetype(width) * read.format.num_channels,
                               width, height, int(read.format.num_channels), 16, read.transfer);
    }
    if (read.image.format() == QImage::Format_RGBA8888) {
        read.image.convertTo(QImage::Format_ARGB32);
    }
    return std::move(read.image);
}

// The JPEG a recompressed file was made from, byte for byte; empty when it cannot be rebuilt or
// would be more than twice the file's size (a JPEG is about a fifth larger than its recompressed
// file). Decodes the codestream a second time, to its JPEG coefficients only.
QByteArray RebuiltJpeg(const QByteArray& bytes) {
    const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    JxlDecoder* d = decoder.get();
    if (d == nullptr || JxlDecoderSubscribeEvents(d, JXL_DEC_JPEG_RECONSTRUCTION |
                                                         JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS) {
        return {};
    }
    JxlDecoderSetInput(d, reinterpret_cast<const uint8_t*>(bytes.constData()),
                       size_t(bytes.size()));
    JxlDecoderCloseInput(d);
    const qsizetype limit = 2 * bytes.size() + 64 * 1024;
    QByteArray jpeg;
    qsizetype used = 0;
    for (;;) {
        switch (JxlDecoderProcessInput(d)) {
            case JXL_DEC_JPEG_RECONSTRUCTION:
                jpeg.resize(std::min(limit, bytes.size() + bytes.size() / 2 + 4096));
                break;
            case JXL_DEC_JPEG_NEED_MORE_OUTPUT:
                used = jpeg.size() - qsizetype(JxlDecoderReleaseJPEGBuffer(d));
                if (jpeg.size() >= limit) {
                    return {};
                }
                jpeg.resize(std::min(limit, jpeg.size() * 2));
                break;
            case JXL_DEC_FULL_IMAGE:
                jpeg.chop(qsizetype(JxlDecoderReleaseJPEGBuffer(d)));
                return jpeg;
            default:
                return {};
        }
        if (JxlDecoderSetJPEGBuffer(d, reinterpret_cast<uint8_t*>(jpeg.data()) + used,
                                    size_t(jpeg.size() - used)) != JXL_DEC_SUCCESS) {
            return {};
        }
    }
}

// The metadata read on the way into the picture; for a recompressed JPEG, that JPEG as well.
void TakeMetadata(const QByteArray& bytes, const JxlRead& read, TodayPicture& picture) {
    picture.exif = TiffAfterOffset(read.exif);
    picture.xmp = read.xmp;
    if (read.recompressedJpeg) {
        picture.jpeg = RebuiltJpeg(bytes);
        if (picture.jpeg.isEmpty()) {
            picture.metadataProblem = QStringLiteral(
                "the JPEG this file was made from cannot be rebuilt: only its EXIF "
                "and XMP were read");
        }
    }
}

}  // namespace

bool RecogniseJxl(QByteArrayView head) {
    const JxlSignature signature =
        JxlSignatureCheck(reinterpret_cast<const uint8_t*>(head.data()), size_t(head.size()));
    return signature == JXL_SIG_CODESTREAM || signature == JXL_SIG_CONTAINER;
}

TodayPicture DecodeJxl(const QByteArray& bytes, qint64 maxPixels) {
    const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    JxlDecoder* d = decoder.get();
    if (d == nullptr ||
        JxlDecoderSubscribeEvents(d, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                         JXL_DEC_FULL_IMAGE | JXL_DEC_BOX) != JXL_DEC_SUCCESS) {
        return TodayFailure(Kind::TooLarge, QStringLiteral("out of memory"));
    }
    JxlDecoderSetDecompressBoxes(d, JXL_TRUE);
    JxlDecoderSetUnpremultiplyAlpha(d, JXL_TRUE);
    JxlDecoderSetInput(d, reinterpret_cast<const uint8_t*>(bytes.constData()),
                       size_t(bytes.size()));
    JxlDecoderCloseInput(d);
    JxlRead read;
    int width = 0;
    int height = 0;
    TodayPicture picture;
    for (bool more = true; more;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(d);
        if (status != JXL_DEC_BOX_NEED_MORE_OUTPUT) {
            read.box.Finish(d);
        }
        switch (status) {
            case JXL_DEC_BASIC_INFO: {
                if (JxlDecoderGetBasicInfo(d, &read.info) != JXL_DEC_SUCCESS) {
                    return Damaged("no picture header");
                }
                const bool across = read.info.orientation > JXL_ORIENT_ROTATE_180;
                width = int(across ? read.info.ysize : read.info.xsize);
                height = int(across ? read.info.xsize : read.info.ysize);
                if (qint64(width) * height > maxPixels) {
                    return TooManyPixels(width, height, maxPixels);
                }
                break;
            }
            case JXL_DEC_COLOR_ENCODING:
                ReadColour(d, read);
                break;
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
                if (!SetOutput(d, read, width, height)) {
                    return TodayFailure(Kind::TooLarge, QStringLiteral("out of memory"));
                }
                break;
            case JXL_DEC_FULL_IMAGE:
                picture.image = Finished(read, width, height);
                if (picture.image.isNull()) {
                    return TodayFailure(Kind::TooLarge, QStringLiteral("out of memory"));
                }
                // Later frames of an animation are not decoded; its metadata boxes come first.
                more = !read.info.have_animation;
                break;
            case JXL_DEC_BOX:
                StartBox(d, read);
                break;
            case JXL_DEC_BOX_NEED_MORE_OUTPUT:
                read.box.Grow(d);
                break;
            case JXL_DEC_SUCCESS:
                more = false;
                break;
            case JXL_DEC_NEED_MORE_INPUT:
                return Damaged("the file ends before the picture does");
            default:
                return Damaged("the JPEG XL codestream could not be decoded");
        }
    }
    if (picture.image.isNull()) {
        return Damaged("the file holds no picture");
    }
    if (read.format.data_type == JXL_TYPE_UINT16) {
        picture.note = HdrNote(read.transfer);
    }
    picture.image.setColorSpace(picture.note.isEmpty() ? read.space : AfterHdrMapping(read.space));
    TakeMetadata(bytes, read, picture);
    picture.containerTurns = true;
    return picture;
}

}  // namespace corvane
