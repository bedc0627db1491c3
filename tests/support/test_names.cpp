#include "support/test_names.h"

#include <QMetaEnum>

#include <cctype>
#include <cmath>

namespace corvane::test {

std::string TestName(std::string_view phrase) {
    std::string name;
    bool wordStart = true;
    for (const char c : phrase) {
        const auto byte = static_cast<unsigned char>(c);
        if (!std::isalnum(byte) && c != '_') {
            wordStart = true;
            continue;
        }
        name += wordStart ? static_cast<char>(std::toupper(byte)) : c;
        wordStart = false;
    }
    return name;
}

std::string NumberName(double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    std::string text = QString::number(value, 'g', 7).toStdString();
    std::string name;
    for (const char c : text) {
        if (c == '-') {
            name += "Minus";
        } else if (c == '.') {
            name += '_';
        } else if (c != '+') {
            name += c;
        }
    }
    return name;
}

std::string SizeName(QSize size) {
    if (!size.isValid()) {
        return "Invalid";
    }
    return std::to_string(size.width()) + "x" + std::to_string(size.height());
}

std::string FormatName(QImage::Format format) {
    const char* key = QMetaEnum::fromType<QImage::Format>().valueToKey(format);
    if (key == nullptr) {
        return "Format" + std::to_string(int(format));
    }
    const std::string name = key;
    constexpr std::string_view kPrefix = "Format_";
    return name.starts_with(kPrefix) ? name.substr(kPrefix.size()) : name;
}

}  // namespace corvane::test
