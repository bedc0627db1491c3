// libFuzzer target: the loading paths of today's formats - HEIC/HEIF and AVIF (libheif), WebP
// (libwebp), JPEG XL (libjxl) - and the metadata read from their containers. Every input is
// recognised and decoded as the loader does it; a picture that decodes must be as large as it
// declared and no larger than the bound, and its metadata is read as the loader reads it. Any
// crash, sanitizer report, memory beyond the limit, time beyond the limit or broken promise is a
// finding.

#include "imaging/metadata.h"
#include "today_formats.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Larger pictures only cost time: every path under test is bounded by the same check.
constexpr qint64 kMaxPixels = 1 << 22;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

corvane::TodayPicture Decode(const QByteArray& bytes) {
    using corvane::RawFormat;
    if (corvane::RecogniseWebp(bytes)) {
        corvane::IsLosslessWebp(bytes);
        return corvane::DecodeWebp(bytes, kMaxPixels);
    }
    if (corvane::RecogniseJxl(bytes)) {
        return corvane::DecodeJxl(bytes, kMaxPixels);
    }
    if (corvane::RecogniseHeif(bytes) != RawFormat::Undefined) {
        return corvane::DecodeHeif(bytes, kMaxPixels);
    }
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const corvane::TodayPicture picture = Decode(bytes);
    if (picture.image.isNull()) {
        return 0;
    }
    Require(qint64(picture.image.width()) * picture.image.height() <= kMaxPixels);
    Require(picture.image.depth() == 24 || picture.image.depth() == 32);
    corvane::ReadMetadataBlocks(picture.exif, picture.xmp);
    return 0;
}
