// HEIC/HEIF and AVIF through libheif: reading the primary picture, writing AVIF. Every call into
// libheif is in this file.
//
// libheif decodes the primary item only: a grid is put together from its tiles, the irot/imir/
// clap transforms are applied (so the EXIF orientation must not be), and thumbnails, depth maps
// and other auxiliary items are never touched. Its own security limits refuse absurd item sizes
// while the file is parsed; the size the primary picture declares is checked here before it is
// decoded.

#include "high_bit_depth.h"
#include "imaging/picture_memory.h"
#include "today_formats.h"

#include <libheif/heif.h>

#include <QColorSpace>
#include <QPointF>

#include <cstring>
#include <memory>

namespace corvane {
namespace {

using Kind = LoadError::Kind;

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleFree {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageFree {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct EncoderFree {
    void operator()(heif_encoder* encoder) const { heif_encoder_release(encoder); }
};
struct NclxFree {
    void operator()(heif_color_profile_nclx* nclx) const { heif_nclx_color_profile_free(nclx); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleFree>;
using Image = std::unique_ptr<heif_image, ImageFree>;
using Encoder = std::unique_ptr<heif_encoder, EncoderFree>;
using Nclx = std::unique_ptr<heif_color_profile_nclx, NclxFree>;

// Metadata blocks larger than this are left out rather than read.
constexpr size_t kMaxMetadataBytes = 16u << 20;
// Per side; libheif refuses larger items while parsing, before it allocates for them. The
// picture's pixel count is bounded separately.
constexpr int kMaxSide = 65535;
// libheif takes time growing with the square of a file's items to parse it (14,400 tiles: 40 s).
// Phones write a few hundred at most (a 48 MP photo: 192 tiles of 512 x 512); a file with more
// than this is refused before libheif sees it.
constexpr quint32 kMaxItems = 2048;

QString Text(const heif_error& error) {
    return QString::fromUtf8(error.message != nullptr ? error.message : "unknown error");
}

// A parse or decode error: too large where libheif's limits refused it, else damaged.
TodayPicture FailedWith(const heif_error& error) {
    if (error.code == heif_error_Memory_allocation_error ||
        error.subcode == heif_suberror_Security_limit_exceeded) {
        return TodayFailure(Kind::TooLarge, QStringLiteral("too large: %1").arg(Text(error)));
    }
    if (error.code == heif_error_Unsupported_feature ||
        error.code == heif_error_Unsupported_filetype) {
        return TodayFailure(Kind::Corrupt,
                            QStringLiteral("cannot be decoded: %1").arg(Text(error)));
    }
    return TodayFailure(Kind::Corrupt, QStringLiteral("damaged or truncated: %1").arg(Text(error)));
}

// The brands of an ISO base media file's ftyp box: the major one and the compatible ones.
bool HasBrand(QByteArrayView head, const char* brand) {
    if (head.size() < 16 || head.sliced(4, 4) != QByteArrayView("ftyp")) {
        return false;
    }
    const quint32 size = (quint32(uchar(head[0])) << 24) | (quint32(uchar(head[1])) << 16) |
                         (quint32(uchar(head[2])) << 8) | quint32(uchar(head[3]));
    const qsizetype end = std::min<qsizetype>(head.size(), size);
    const QByteArrayView wanted(brand, 4);
    if (head.sliced(8, 4) == wanted) {
        return true;
    }
    for (qsizetype at = 16; at + 4 <= end; at += 4) {
        if (head.sliced(at, 4) == wanted) {
            return true;
        }
    }
    return false;
}

quint32 BigEndian(QByteArrayView bytes, qsizetype at, int size) {
    quint32 value = 0;
    for (int i = 0; i < size; ++i) {
        value = (value << 8) | uchar(bytes[at + i]);
    }
    return value;
}

// The payload of the first box of `type` among the boxes that fill `bytes`; null when none.
QByteArrayView FindBox(QByteArrayView bytes, const char* type) {
    qsizetype at = 0;
    while (at + 8 <= bytes.size()) {
        qint64 size = BigEndian(bytes, at, 4);
        qsizetype head = 8;
        if (size == 1 && at + 16 <= bytes.size()) {
            size = (qint64(BigEndian(bytes, at + 8, 4)) << 32) | BigEndian(bytes, at + 12, 4);
            head = 16;
        } else if (size == 0) {
            size = bytes.size() - at;
        }
        if (size < head || size > bytes.size() - at) {
            return {};
        }
        if (bytes.sliced(at + 4, 4) == QByteArrayView(type, 4)) {
            return bytes.sliced(at + head, qsizetype(size) - head);
        }
        at += qsizetype(size);
    }
    return {};
}

// How many items the file's item information box lists: pictures, tiles, metadata. 0 when it
// lists none or cannot be found (libheif then says what is wrong).
quint32 ItemCount(QByteArrayView bytes) {
    const QByteArrayView meta = FindBox(bytes, "meta");
    const QByteArrayView iinf = meta.size() > 4 ? FindBox(meta.sliced(4), "iinf") : meta;
    if (iinf.size() < 6) {
        return 0;
    }
    return iinf[0] == 0 ? BigEndian(iinf, 4, 2) : iinf.size() >= 8 ? BigEndian(iinf, 4, 4) : 0;
}

// One metadata block of the picture (type "Exif", or "mime" with `contentType`); empty when
// there is none.
QByteArray MetadataBlock(const heif_image_handle* handle, const char* type,
                         const char* contentType) {
    heif_item_id ids[16];
    const int count = heif_image_handle_get_list_of_metadata_block_IDs(handle, type, ids, 16);
    for (int i = 0; i < count; ++i) {
        if (contentType != nullptr &&
            std::strcmp(heif_image_handle_get_metadata_content_type(handle, ids[i]), contentType) !=
                0) {
            continue;
        }
        const size_t size = heif_image_handle_get_metadata_size(handle, ids[i]);
        if (size == 0 || size > kMaxMetadataBytes) {
            continue;
        }
        QByteArray block(static_cast<qsizetype>(size), Qt::Uninitialized);
        if (heif_image_handle_get_metadata(handle, ids[i], block.data()).code == heif_error_Ok) {
            return block;
        }
    }
    return {};
}

// The colour space the file states: its ICC profile, or its nclx primaries and transfer. None
// for plain sRGB (the colours of a picture that states nothing).
QColorSpace ColourSpaceOf(const heif_image_handle* handle, HdrTransfer* transfer) {
    *transfer = HdrTransfer::None;
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        if (size == 0 || size > kMaxMetadataBytes) {
            return {};
        }
        QByteArray icc(static_cast<qsizetype>(size), Qt::Uninitialized);
        if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok) {
            return {};
        }
        return QColorSpace::fromIccProfile(icc);
    }
    heif_color_profile_nclx* raw = nullptr;
    // libheif may hand over a profile with an error (values it does not know): it is ours to
    // free either way (a fuzz finding).
    const heif_error error = heif_image_handle_get_nclx_color_profile(handle, &raw);
    const Nclx nclx(raw);
    if (error.code != heif_error_Ok || !nclx) {
        return {};
    }
    *transfer = HdrTransferOf(nclx->transfer_characteristics);
    const int primaries = nclx->color_primaries;
    const int curve = nclx->transfer_characteristics;
    const bool srgbCurve = curve == 1 || curve == 2 || curve == 6 || curve == 13 || curve == 14 ||
                           curve == 15 || *transfer != HdrTransfer::None;
    if ((primaries == 1 || primaries == 2) && srgbCurve) {
        return {};
    }
    QColorSpace space(
        QPointF(nclx->color_primary_white_x, nclx->color_primary_white_y),
        QPointF(nclx->color_primary_red_x, nclx->color_primary_red_y),
        QPointF(nclx->color_primary_green_x, nclx->color_primary_green_y),
        QPointF(nclx->color_primary_blue_x, nclx->color_primary_blue_y),
        curve == 8 ? QColorSpace::TransferFunction::Linear : QColorSpace::TransferFunction::SRgb);
    return space;
}

// The decoded 8-bit picture with alpha as ARGB32 (libheif gives RGBA).
QImage ArgbCopy(const heif_image* image, int width, int height) {
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    QImage out = plane != nullptr ? NewPicture(width, height, QImage::Format_ARGB32) : QImage();
    for (int y = 0; y < out.height(); ++y) {
        const uint8_t* in = plane + qsizetype(y) * stride;
        auto* pixels = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < width; ++x, in += 4) {
            pixels[x] = qRgba(in[0], in[1], in[2], in[3]);
        }
    }
    return out;
}

// The opaque 8-bit picture in libheif's own buffer, handed to the QImage with it: no copy.
QImage SharedPicture(Image image, int width, int height) {
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    if (plane == nullptr) {
        return {};
    }
    return QImage(
        plane, width, height, stride, QImage::Format_RGB888,
        [](void* owned) { heif_image_release(static_cast<heif_image*>(owned)); }, image.release());
}

QImage DecodePixels(const heif_image_handle* handle, int width, int height, HdrTransfer transfer,
                    heif_error* failure) {
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    const int bits = heif_image_handle_get_luma_bits_per_pixel(handle);
    const bool deep = bits > 8;
    const heif_chroma chroma =
        deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
             : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    std::unique_ptr<heif_decoding_options, decltype(&heif_decoding_options_free)> options(
        heif_decoding_options_alloc(), &heif_decoding_options_free);
    heif_image* raw = nullptr;
    *failure = heif_decode_image(handle, &raw, heif_colorspace_RGB, chroma, options.get());
    Image image(raw);
    if (failure->code != heif_error_Ok) {
        return {};
    }
    // The decoded picture may differ from the declared size (a forged or inconsistent file).
    if (heif_image_get_width(raw, heif_channel_interleaved) != width ||
        heif_image_get_height(raw, heif_channel_interleaved) != height) {
        *failure = {heif_error_Invalid_input, heif_suberror_Unspecified,
                    "the decoded picture is not of the declared size"};
        return {};
    }
    if (!deep) {
        return alpha ? ArgbCopy(raw, width, height)
                     : SharedPicture(std::move(image), width, height);
    }
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(raw, heif_channel_interleaved, &stride);
    if (plane == nullptr || stride % 2 != 0) {
        return {};
    }
    const int sampleBits = heif_image_get_bits_per_pixel_range(raw, heif_channel_interleaved);
    return EightBitPicture(reinterpret_cast<const std::uint16_t*>(plane), stride / 2, width, height,
                           alpha ? 4 : 3, sampleBits, transfer);
}

}  // namespace

RawFormat RecogniseHeif(QByteArrayView head) {
    if (HasBrand(head, "avif") || HasBrand(head, "avis")) {
        return RawFormat::Avif;
    }
    for (const char* brand : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"}) {
        if (HasBrand(head, brand)) {
            return RawFormat::Heif;
        }
    }
    return RawFormat::Undefined;
}

TodayPicture DecodeHeif(const QByteArray& bytes, qint64 maxPixels) {
    const Context context(heif_context_alloc());
    if (!context) {
        return TodayFailure(Kind::TooLarge, QStringLiteral("out of memory"));
    }
    if (const quint32 items = ItemCount(bytes); items > kMaxItems) {
        return TodayFailure(Kind::TooLarge, QStringLiteral("the file holds %1 pictures and tiles, "
                                                           "more than the %2 allowed")
                                                .arg(items)
                                                .arg(kMaxItems));
    }
    heif_context_set_maximum_image_size_limit(context.get(), kMaxSide);
    // The tiles of a grid are decoded one after the other: the run already keeps every core busy
    // with a picture of its own, and libheif's thread per tile cost more than it gave (measured
    // on 12 MP grids: a fifth more CPU time).
    heif_context_set_max_decoding_threads(context.get(), 1);
    heif_error error = heif_context_read_from_memory_without_copy(context.get(), bytes.constData(),
                                                                  size_t(bytes.size()), nullptr);
    if (error.code != heif_error_Ok) {
        return FailedWith(error);
    }
    heif_image_handle* rawHandle = nullptr;
    error = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    const Handle handle(rawHandle);
    if (error.code != heif_error_Ok) {
        return FailedWith(error);
    }
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0) {
        return TodayFailure(Kind::Corrupt, QStringLiteral("damaged: the picture has no size"));
    }
    if (qint64(width) * height > maxPixels) {
        return TooManyPixels(width, height, maxPixels);
    }
    TodayPicture picture;
    HdrTransfer transfer = HdrTransfer::None;
    const QColorSpace space = ColourSpaceOf(handle.get(), &transfer);
    picture.image = DecodePixels(handle.get(), width, height, transfer, &error);
    if (picture.image.isNull()) {
        return error.code != heif_error_Ok
                   ? FailedWith(error)
                   : TodayFailure(Kind::TooLarge, QStringLiteral("out of memory"));
    }
    if (heif_image_handle_get_luma_bits_per_pixel(handle.get()) > 8) {
        picture.note = HdrNote(transfer);
    }
    picture.image.setColorSpace(picture.note.isEmpty() ? space : AfterHdrMapping(space));
    picture.exif = TiffAfterOffset(MetadataBlock(handle.get(), "Exif", nullptr));
    picture.xmp = MetadataBlock(handle.get(), "mime", "application/rdf+xml");
    picture.containerTurns = true;
    return picture;
}

namespace {

heif_error WriteTo(heif_context*, const void* data, size_t size, void* device) {
    const bool written = static_cast<QIODevice*>(device)->write(static_cast<const char*>(data),
                                                                qint64(size)) == qint64(size);
    return written ? heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"}
                   : heif_error{heif_error_Encoding_error, heif_suberror_Cannot_write_output_data,
                                "the file could not be written"};
}

// The picture as libheif's interleaved RGB or RGBA.
Image HeifImageOf(const QImage& source) {
    const bool alpha = source.hasAlphaChannel();
    const QImage image =
        source.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    heif_image* raw = nullptr;
    if (image.isNull() ||
        heif_image_create(image.width(), image.height(), heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &raw)
                .code != heif_error_Ok) {
        return nullptr;
    }
    Image out(raw);
    if (heif_image_add_plane(raw, heif_channel_interleaved, image.width(), image.height(), 8)
            .code != heif_error_Ok) {
        return nullptr;
    }
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(raw, heif_channel_interleaved, &stride);
    const size_t rowBytes = size_t(image.width()) * (alpha ? 4 : 3);
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(plane + qsizetype(y) * stride, image.constScanLine(y), rowBytes);
    }
    const QByteArray icc =
        source.colorSpace().isValid() ? source.colorSpace().iccProfile() : QByteArray();
    if (!icc.isEmpty()) {
        heif_image_set_raw_color_profile(raw, "prof", icc.constData(), size_t(icc.size()));
    }
    return out;
}

bool AddMetadata(heif_context* context, const heif_image_handle* handle,
                 const MetadataBlocks& metadata) {
    if (!metadata.exif.isEmpty() &&
        heif_context_add_exif_metadata(context, handle, metadata.exif.constData(),
                                       int(metadata.exif.size()))
                .code != heif_error_Ok) {
        return false;
    }
    return metadata.xmp.isEmpty() ||
           heif_context_add_XMP_metadata(context, handle, metadata.xmp.constData(),
                                         int(metadata.xmp.size()))
                   .code == heif_error_Ok;
}

}  // namespace

bool WriteAvif(const QImage& image, const MetadataBlocks* metadata, QIODevice* device) {
    const Context context(heif_context_alloc());
    heif_encoder* rawEncoder = nullptr;
    if (!context ||
        heif_context_get_encoder_for_format(context.get(), heif_compression_AV1, &rawEncoder)
                .code != heif_error_Ok) {
        return false;
    }
    const Encoder encoder(rawEncoder);
    const Image heifImage = HeifImageOf(image);
    if (!heifImage) {
        return false;
    }
    std::unique_ptr<heif_encoding_options, decltype(&heif_encoding_options_free)> options(
        heif_encoding_options_alloc(), &heif_encoding_options_free);
    // One colr box: the ICC profile when there is one; libheif's nclx (sRGB) otherwise.
    options->save_two_colr_boxes_when_ICC_and_nclx_available = 0;
    heif_image_handle* rawHandle = nullptr;
    if (heif_context_encode_image(context.get(), heifImage.get(), encoder.get(), options.get(),
                                  &rawHandle)
            .code != heif_error_Ok) {
        return false;
    }
    const Handle handle(rawHandle);
    if (metadata != nullptr && !AddMetadata(context.get(), handle.get(), *metadata)) {
        return false;
    }
    heif_writer writer{1, &WriteTo};
    return heif_context_write(context.get(), &writer, device).code == heif_error_Ok;
}

}  // namespace corvane
