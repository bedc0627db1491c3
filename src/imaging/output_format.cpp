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

// In the order the platform lists its encoders.
constexpr std::array<EncoderInfo, 5> kEncoders = {{
    {"image/bmp", "{557cf400-1a04-11d3-9a73-0000f81ef32e}", true},
    {"image/jpeg", "{557cf401-1a04-11d3-9a73-0000f81ef32e}", true},
    {"image/gif", "{557cf402-1a04-11d3-9a73-0000f81ef32e}", false},  // giflib, always present
    {"image/tiff", "{557cf405-1a04-11d3-9a73-0000f81ef32e}", true},
    {"image/png", "{557cf406-1a04-11d3-9a73-0000f81ef32e}", true},
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
    const std::array<std::pair<FormatKind, bool>, 7> ticks = {{
        {FormatKind::Png, choice.png},
        {FormatKind::Bmp, choice.bmp},
        {FormatKind::Jpeg, choice.jpeg},
        {FormatKind::Gif, choice.gif},
        {FormatKind::Tiff, choice.tiff},
        {FormatKind::Emf, choice.emf},
        {FormatKind::Wmf, choice.wmf},
    }};
    for (const auto& [kind, ticked] : ticks) {
        if (choice.all || ticked) {
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

void ResolveSameAsSource(OutputFormat& format, RawFormat raw, const QString& sourcePath) {
    switch (raw) {
        case RawFormat::Jpeg:
            format.kind = FormatKind::Jpeg;
            break;
        case RawFormat::Gif:
            format.kind = FormatKind::Gif;
            break;
        case RawFormat::MemoryBmp:
        case RawFormat::Bmp:
            format.kind = FormatKind::Bmp;
            break;
        case RawFormat::Tiff:
            format.kind = FormatKind::Tiff;
            break;
        case RawFormat::Emf:
            format.kind = FormatKind::Emf;
            break;
        case RawFormat::Wmf:
            format.kind = FormatKind::Wmf;
            break;
        default:
            format.kind = FormatKind::Png;
            break;
    }
    format.mimeType = Template(format.kind).mimeType;
    format.encoderClsid = QUuid();
    if (!format.mimeType.isEmpty()) {
        FindEncoder(format.mimeType, format.encoderClsid);
    }
    format.extension = FileExtension(sourcePath);
}

}  // namespace corvane
