#include "platform/native_names.h"

namespace corvane {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // + byte 0x80..0xFF
constexpr char32_t kReplacement = 0xFFFD;

bool IsEscape(char16_t unit) {
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
}

// Length and code point of the well-formed UTF-8 sequence at `at`; 0 when there is none (a
// stray continuation byte, a truncated or overlong sequence, an encoded surrogate, a value
// beyond U+10FFFF).
int DecodeSequence(std::string_view bytes, std::size_t at, char32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    int length = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        codePoint = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        codePoint = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        codePoint = lead & 0x07;
        least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size()) {
        return 0;
    }
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[at + k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < least || codePoint > 0x10FFFF || surrogate ? 0 : length;
}

int Utf8Length(char32_t codePoint) {
    return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}

void AppendUtf8(QByteArray& out, char32_t codePoint) {
    switch (Utf8Length(codePoint)) {
        case 1:
            out.append(static_cast<char>(codePoint));
            return;
        case 2:
            out.append(static_cast<char>(0xC0 | (codePoint >> 6)));
            break;
        case 3:
            out.append(static_cast<char>(0xE0 | (codePoint >> 12)));
            out.append(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
            break;
        default:
            out.append(static_cast<char>(0xF0 | (codePoint >> 18)));
            out.append(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
            out.append(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
            break;
    }
    out.append(static_cast<char>(0x80 | (codePoint & 0x3F)));
}

// Walks the text by code point, lone surrogates included: calls `byte` for an escaped byte and
// `point` for everything else.
template <typename Byte, typename Point>
void ForEachUnit(QStringView text, Byte byte, Point point) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            point(QChar::surrogateToUcs4(unit, text[++i].unicode()));
        } else if (IsEscape(unit)) {
            byte(static_cast<char>(unit - kEscapeBase));
        } else {
            point(QChar::isSurrogate(unit) ? kReplacement : char32_t(unit));
        }
    }
}

}  // namespace

QString DecodeNativeName(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        char32_t codePoint = lead;
        const int length = lead < 0x80 ? 1 : DecodeSequence(bytes, i, codePoint);
        if (length == 0) {
            out.append(QChar(static_cast<char16_t>(kEscapeBase + lead)));
            ++i;
            continue;
        }
        if (QChar::requiresSurrogates(codePoint)) {
            out.append(QChar(QChar::highSurrogate(codePoint)));
            out.append(QChar(QChar::lowSurrogate(codePoint)));
        } else {
            out.append(QChar(static_cast<char16_t>(codePoint)));
        }
        i += static_cast<std::size_t>(length);
    }
    return out;
}

QByteArray EncodeNativeName(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    ForEachUnit(
        text, [&](char byte) { out.append(byte); },
        [&](char32_t codePoint) { AppendUtf8(out, codePoint); });
    return out;
}

qsizetype NativeNameBytes(QStringView text) {
    qsizetype bytes = 0;
    ForEachUnit(
        text, [&](char) { ++bytes; }, [&](char32_t codePoint) { bytes += Utf8Length(codePoint); });
    return bytes;
}

}  // namespace corvane
