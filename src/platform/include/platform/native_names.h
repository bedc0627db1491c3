#pragma once
// File names as Linux holds them: bytes, usually UTF-8 but not always (archives made on Chinese
// Windows carry GBK names). A name is carried as a QString in which each byte that is not part
// of valid UTF-8 stands as a lone low surrogate U+DC80..U+DCFF, and is encoded back to exactly
// that byte at the system-call boundary, so every name round-trips. (Qt's own file-name decoding
// turns such bytes into U+FFFD and loses them.)

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <string_view>

namespace corvane {

// A folder entry's name holds at most this many bytes (Linux file systems).
inline constexpr qsizetype kMaxNameBytes = 255;

QString DecodeNativeName(std::string_view bytes);
// The bytes of a name or path. A lone surrogate outside U+DC80..U+DCFF (it cannot come from a
// decoded name) becomes the UTF-8 of U+FFFD.
QByteArray EncodeNativeName(QStringView text);
// Length of EncodeNativeName(text) without building it.
qsizetype NativeNameBytes(QStringView text);

}  // namespace corvane
