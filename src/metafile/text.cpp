// Fonts for the text records of EMF, WMF and EMF+.

#include "text.h"

#include <QGuiApplication>
#include <QStringDecoder>

namespace corvane::metafile {

bool CanDrawText() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

QFont FontOfFamily(const QString& family) {
    QFont font;
    QStringList families;
    if (!family.trimmed().isEmpty()) {
        families << family.trimmed();
    }
    families << "Noto Sans CJK SC"
             << "Noto Sans CJK"
             << "WenQuanYi Micro Hei"
             << "DejaVu Sans";
    font.setFamilies(families);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QString DecodeCharset(const QByteArray& bytes, int charset) {
    // The code pages GDI uses for each character set.
    const char* name = "windows-1252";
    switch (charset) {
        case 128:  // SHIFTJIS_CHARSET
            name = "Shift_JIS";
            break;
        case 129:  // HANGUL_CHARSET
            name = "windows-949";
            break;
        case 134:  // GB2312_CHARSET
            name = "GBK";
            break;
        case 136:  // CHINESEBIG5_CHARSET
            name = "Big5";
            break;
        case 161:  // GREEK_CHARSET
            name = "windows-1253";
            break;
        case 162:  // TURKISH_CHARSET
            name = "windows-1254";
            break;
        case 177:  // HEBREW_CHARSET
            name = "windows-1255";
            break;
        case 178:  // ARABIC_CHARSET
            name = "windows-1256";
            break;
        case 186:  // BALTIC_CHARSET
            name = "windows-1257";
            break;
        case 204:  // RUSSIAN_CHARSET
            name = "windows-1251";
            break;
        case 222:  // THAI_CHARSET
            name = "windows-874";
            break;
        case 238:  // EASTEUROPE_CHARSET
            name = "windows-1250";
            break;
        default:
            break;
    }
    QStringDecoder decoder(name);
    if (!decoder.isValid()) {
        return QString::fromLatin1(bytes);
    }
    return decoder.decode(bytes);
}

}  // namespace corvane::metafile
