#pragma once
// Readable names for the rows of value-parameterised tests, so that a failure and ctest's list
// say which row it is. gtest allows letters, digits and "_" in a name.

#include <QImage>
#include <QSize>

#include <string>
#include <string_view>

namespace corvane::test {

// A phrase as a name: "empty folder, combine" gives "EmptyFolderCombine".
std::string TestName(std::string_view phrase);

// Name generator for INSTANTIATE_TEST_SUITE_P: each row after its `name` member.
inline constexpr auto kRowName = [](const auto& info) { return TestName(info.param.name); };

// A number: 89.9995 gives "89_9995", -90 gives "Minus90", NaN gives "NaN".
std::string NumberName(double value);
// A size: "640x480"; an invalid size gives "Invalid".
std::string SizeName(QSize size);
// A pixel format by Qt's name without "Format_": "ARGB32_Premultiplied".
std::string FormatName(QImage::Format format);

}  // namespace corvane::test
