#include "imaging/output_format.h"

#include "platform/path_text.h"

#include <QImageWriter>

#include <array>

namespace corvane {
namespace {

struct EncoderInfo {
    const char* mimeType;
    const char* clsid;  // the class ids by which these encoders are known on Windows
    bool needsQtWriter;
};

// In the order the platform lists its encoders; then ours for today's formats, which the platform
// has no encoder for (their ids are our own, so that a found encoder is never null).
constexpr std::array<EncoderInfo, 7> kEncoders = {{
    {"image/bmp", "{557cf400-1a04-11d3-9a73-0000f81ef32e}", true},
    {"image/jpeg", "{557cf401-1a04-11d3-9a73-0000f81ef32e}", true},
    {"image/gif", "{557cf402-1a04-11d3-9a73-0000f81ef32e}", false},  // giflib, always present
    {"image/tiff", "{557cf405-1a04-11d3-9a73-0000f81ef32e}", true},
    {"image/png", "{557cf406-1a04-11d3-9a73-0000f81ef32e}", true},
    {"image/webp", "{c7a1e5d0-8b3f-4e61-9a2d-3f6b0c4e9d18}", false},  // libwebp, always present
    {"image/avif", "{c7a1e5d1-8b3f-4e61-9a2d-3f6b0c4e9d18}", false},  // libheif, always present
}};

OutputFormat Template(FormatKind kind) {
    switch (kind) {
        case FormatKind::Png:
            return {kind, QStringLiteral(".PNG"), QStringLiteral("image/png"), {}};
        case FormatKind::Bmp:
            return {kind, QStringLiteral(".BMP"), QStringLiteral("image/bmp"), {}};
        case FormatKind::Jpeg:
            return {kind, QStringLiteral(".JPG"), QStringLiteral("image/jpeg"), {}};
        case FormatKind::Gif:
            return {kind, QStringLiteral(".GIF"), QStringLiteral("image/gif"), {}};
        case FormatKind::Tiff:
            return {kind, QStringLiteral(".TIF"), QStringLiteral("image/tiff"), {}};
        case FormatKind::Emf:
            return {kind, QStringLiteral(".EMF"), {}, {}};
        case FormatKind::Wmf:
            return {kind, QStringLiteral(".WMF"), {}, {}};
        case FormatKind::Webp:
            return {kind, QStringLiteral(".WEBP"), QStringLiteral("image/webp"), {}};
        case FormatKind::Avif:
            return {kind, QStringLiteral(".AVIF"), QStringLiteral("image/avif"), {}};
        case FormatKind::SameAsSource:
            break;
    }
    return {};
}

bool QtCanWrite(const char* mimeType) {
    static const QList<QByteArray> supported = QImageWriter::supportedMimeTypes();
    return supported.contains(QByteArray(mimeType));
}

}  // namespace

std::vector<OutputFormat> BuildFormatList(const FormatChoice& choice) {
    std::vector<OutputFormat> list;
    if (choice.sameAsSource) {
        list.push_back({FormatKind::SameAsSource, {}, {}, {}});
        return list;
    }
    const std::array<std::pair<FormatKind, bool>, 9> ticks = {{
        {FormatKind::Png, choice.png},
        {FormatKind::Bmp, choice.bmp},
        {FormatKind::Jpeg, choice.jpeg},
        {FormatKind::Gif, choice.gif},
        {FormatKind::Tiff, choice.tiff},
        {FormatKind::Emf, choice.emf},
        {FormatKind::Wmf, choice.wmf},
        {FormatKind::Webp, choice.webp},
        {FormatKind::Avif, choice.avif},
    }};
    for (const auto& [kind, ticked] : ticks) {
        const bool inAll = kind != FormatKind::Webp && kind != FormatKind::Avif;
        if ((choice.all && inAll) || ticked) {
            list.push_back(Template(kind));
        }
    }
    for (OutputFormat& format : list) {
        if (format.kind != FormatKind::Emf && format.kind != FormatKind::Wmf) {
            FindEncoder(format.mimeType, format.encoderClsid);
        }
    }
    return list;
}

int FindEncoder(const QString& mimeType, QUuid& clsid) {
    for (int i = 0; i < static_cast<int>(kEncoders.size()); ++i) {
        const EncoderInfo& info = kEncoders[static_cast<size_t>(i)];
        if (mimeType == QLatin1String(info.mimeType)) {
            if (info.needsQtWriter && !QtCanWrite(info.mimeType)) {
                return -1;
            }
            clsid = QUuid::fromString(QLatin1String(info.clsid));
            return i;
        }
    }
    return -1;
}

namespace {

// The kind a source of `raw` is written as, and whether under its own extension.
std::pair<FormatKind, bool> SameKindAs(RawFormat raw) {
    switch (raw) {
        case RawFormat::Jpeg:
            return {FormatKind::Jpeg, true};
        case RawFormat::Gif:
            return {FormatKind::Gif, true};
        case RawFormat::MemoryBmp:
        case RawFormat::Bmp:
            return {FormatKind::Bmp, true};
        case RawFormat::Tiff:
            return {FormatKind::Tiff, true};
        case RawFormat::Emf:
            return {FormatKind::Emf, true};
        case RawFormat::Wmf:
            return {FormatKind::Wmf, true};
        case RawFormat::Webp:
        case RawFormat::WebpLossless:
            return {FormatKind::Webp, true};
        case RawFormat::Avif:
            return {FormatKind::Avif, true};
        // A phone photo: lossy, as JPEG is, and readable everywhere.
        case RawFormat::Heif:
            return {FormatKind::Jpeg, false};
        // Often lossless or with alpha: PNG loses neither.
        case RawFormat::Jxl:
            return {FormatKind::Png, false};
        default:
            return {FormatKind::Png, true};
    }
}

}  // namespace

void ResolveSameAsSource(OutputFormat& format, RawFormat raw, const QString& sourcePath) {
    const auto [kind, ownExtension] = SameKindAs(raw);
    const OutputFormat written = Template(kind);
    format.kind = kind;
    format.mimeType = written.mimeType;
    format.encoderClsid = QUuid();
    format.lossless = raw == RawFormat::WebpLossless;
    if (!format.mimeType.isEmpty()) {
        FindEncoder(format.mimeType, format.encoderClsid);
    }
    format.extension = ownExtension ? FileExtension(sourcePath) : written.extension;
}

QStringList ReadablePictureExtensions() {
    return {QStringLiteral("BMP"),  QStringLiteral("PNG"),  QStringLiteral("GIF"),
            QStringLiteral("TIF"),  QStringLiteral("TIFF"), QStringLiteral("JPG"),
            QStringLiteral("JPEG"), QStringLiteral("JPE"),  QStringLiteral("JFIF"),
            QStringLiteral("HEIC"), QStringLiteral("HEIF"), QStringLiteral("HIF"),
            QStringLiteral("AVIF"), QStringLiteral("WEBP"), QStringLiteral("JXL")};
}

}  // namespace corvane
