#include "jpeg_writer.h"

#include <QColorSpace>
#include <QtGlobal>

#include "jpeg_errors.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace corvane {
namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;
// The largest marker payload; an ICC profile goes in pieces this large less its own header.
constexpr int kMaxMarker = 65533;
constexpr char kIccSignature[] = "ICC_PROFILE";  // with its NUL: 12 bytes
constexpr int kIccHeader = 14;                   // signature, piece number, number of pieces

struct Destination : jpeg_destination_mgr {
    QIODevice* device;
    std::vector<JOCTET> buffer;
    bool failed = false;
};

extern "C" void StartBuffer(j_compress_ptr info) {
    auto* out = static_cast<Destination*>(info->dest);
    out->next_output_byte = out->buffer.data();
    out->free_in_buffer = out->buffer.size();
}

void Flush(j_compress_ptr info, std::size_t size) {
    auto* out = static_cast<Destination*>(info->dest);
    if (out->device->write(reinterpret_cast<const char*>(out->buffer.data()),
                           static_cast<qint64>(size)) != static_cast<qint64>(size)) {
        out->failed = true;
        info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    }
}

extern "C" boolean EmptyBuffer(j_compress_ptr info) {
    auto* out = static_cast<Destination*>(info->dest);
    Flush(info, out->buffer.size());
    StartBuffer(info);
    return TRUE;
}

extern "C" void EndBuffer(j_compress_ptr info) {
    auto* out = static_cast<Destination*>(info->dest);
    Flush(info, out->buffer.size() - out->free_in_buffer);
}

// The row layout libjpeg is handed: QImage's RGB32 lies in memory as blue, green, red, alpha on
// a little-endian machine.
J_COLOR_SPACE InputSpace(QImage::Format format) {
    switch (format) {
        case QImage::Format_Grayscale8:
            return JCS_GRAYSCALE;
        case QImage::Format_RGB888:
            return JCS_RGB;
        default:
            return Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    }
}

// The resolution as Qt's writer states it: per inch or per centimetre, whichever is nearer whole.
void SetDensity(jpeg_compress_struct& info, const QImage& image) {
    const double x = image.dotsPerMeterX();
    const double y = image.dotsPerMeterY();
    const double inchError = std::abs(x * 2.54 / 100. - qRound(x * 2.54 / 100.)) +
                             std::abs(y * 2.54 / 100. - qRound(y * 2.54 / 100.));
    const double cmError =
        (std::abs(x / 100. - qRound(x / 100.)) + std::abs(y / 100. - qRound(y / 100.))) * 2.54;
    if (inchError < cmError) {
        info.density_unit = 1;
        info.X_density = static_cast<UINT16>(qRound(x * 2.54 / 100.));
        info.Y_density = static_cast<UINT16>(qRound(y * 2.54 / 100.));
    } else {
        info.density_unit = 2;
        info.X_density = static_cast<UINT16>((image.dotsPerMeterX() + 50) / 100);
        info.Y_density = static_cast<UINT16>((image.dotsPerMeterY() + 50) / 100);
    }
}

// The colour profile in APP2 markers of at most kMaxMarker bytes, numbered from 1. Written byte
// by byte from the caller's profile: libjpeg may jump out of any of these calls (a device that
// fails), and a jump skips destructors, so nothing here may own memory.
void WriteColourProfile(jpeg_compress_struct& info, const QByteArray& profile) {
    constexpr int kPiece = kMaxMarker - kIccHeader;
    const qsizetype size = profile.size();
    const int pieces = static_cast<int>((size + kPiece - 1) / kPiece);
    if (size == 0 || pieces > 255) {
        return;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(profile.constData());
    for (int piece = 0; piece < pieces; ++piece) {
        const qsizetype start = qsizetype(piece) * kPiece;
        const qsizetype length = std::min<qsizetype>(kPiece, size - start);
        jpeg_write_m_header(&info, JPEG_APP0 + 2, static_cast<unsigned>(kIccHeader + length));
        for (const char c : kIccSignature) {
            jpeg_write_m_byte(&info, c);
        }
        jpeg_write_m_byte(&info, piece + 1);
        jpeg_write_m_byte(&info, pieces);
        for (qsizetype i = 0; i < length; ++i) {
            jpeg_write_m_byte(&info, bytes[start + i]);
        }
    }
}

// Everything that may be jumped out of lives in the caller: a long jump skips destructors.
bool Compress(jpeg_compress_struct& info, JpegErrorManager& error, const QImage& image, int quality,
              const QByteArray& profile) {
    if (setjmp(error.jump) != 0) {
        return false;
    }
    info.image_width = static_cast<JDIMENSION>(image.width());
    info.image_height = static_cast<JDIMENSION>(image.height());
    info.in_color_space = InputSpace(image.format());
    info.input_components = info.in_color_space == JCS_GRAYSCALE ? 1
                            : info.in_color_space == JCS_RGB     ? 3
                                                                 : 4;
    jpeg_set_defaults(&info);
    SetDensity(info, image);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    if (info.in_color_space != JCS_GRAYSCALE) {
        WriteColourProfile(info, profile);
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

}  // namespace

bool CanWriteJpeg(const QImage& image) {
    switch (image.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_RGB888:
        case QImage::Format_Grayscale8:
            return !image.isNull();
        default:
            return false;
    }
}

bool WriteJpegFile(const QImage& image, int quality, QIODevice* device) {
    if (!CanWriteJpeg(image) || device == nullptr) {
        return false;
    }
    const QByteArray profile = image.colorSpace().iccProfile();
    jpeg_compress_struct info{};
    JpegErrorManager error{};
    info.err = UseJpegErrorManager(error);
    Destination destination;
    destination.device = device;
    destination.buffer.resize(kBufferBytes);
    destination.init_destination = StartBuffer;
    destination.empty_output_buffer = EmptyBuffer;
    destination.term_destination = EndBuffer;
    jpeg_create_compress(&info);
    info.dest = &destination;
    const bool written = Compress(info, error, image, quality, profile);
    jpeg_destroy_compress(&info);
    return written && !destination.failed;
}

}  // namespace corvane
