#include "platform/numbers.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <string>
#include <string_view>

namespace corvane {
namespace {

qsizetype SkipLeadingWhitespace(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace()) {
        ++i;
    }
    return i;
}

}  // namespace

QString CleanNumberText(const QString& text) {
    QString cleaned = text.trimmed();
    cleaned.remove(u' ');
    return cleaned;
}

int ParseLeadingInt(const QString& text) {
    qsizetype i = SkipLeadingWhitespace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(value < INT_MIN ? INT_MIN : value);
}

double ParseLeadingReal(const QString& text) {
    const qsizetype start = SkipLeadingWhitespace(text);
    // Only ASCII can be part of a number; stop at the first other character.
    std::string ascii;
    qsizetype i = start;
    for (; i < text.size() && text[i].unicode() < 0x80; ++i) {
        ascii.push_back(static_cast<char>(text[i].unicode()));
    }
    const char* first = ascii.data();
    const char* last = ascii.data() + ascii.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    // Decimal digits only: "nan" and "inf", which the conversion below would take, are no
    // numbers a person types.
    if (first == last || !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '.')) {
        return 0.0;
    }
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument) {
        return 0.0;
    }
    if (result.ec == std::errc::result_out_of_range) {
        // Like strtod: overflow gives infinity, underflow gives zero.
        const std::string_view parsed(first, static_cast<size_t>(result.ptr - first));
        const size_t e = parsed.find_first_of("eE");
        const bool tiny =
            e != std::string_view::npos && e + 1 < parsed.size() && parsed[e + 1] == '-';
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

}  // namespace corvane
