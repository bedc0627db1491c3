// Names as bytes: every byte sequence round-trips through the QString the program carries.
#include "platform/native_names.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

struct NameRow {
    const char* name;
    std::string_view bytes;
    const char16_t* decoded;  // as the program carries it
};

class NativeNames : public ::testing::TestWithParam<NameRow> {};

TEST_P(NativeNames, DecodeAndEncodeBackToTheSameBytes) {
    const NameRow& row = GetParam();
    const QString decoded = DecodeNativeName(row.bytes);
    EXPECT_EQ(decoded, QString::fromUtf16(row.decoded));
    const QByteArray encoded = EncodeNativeName(decoded);
    EXPECT_EQ(std::string_view(encoded.constData(), static_cast<std::size_t>(encoded.size())),
              row.bytes);
    EXPECT_EQ(NativeNameBytes(decoded), encoded.size());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NativeNames,
    ::testing::Values(NameRow{"ascii", "photo 1.png", u"photo 1.png"},
                      NameRow{"chinese utf8", "\xe7\x8c\xab.png", u"猫.png"},
                      NameRow{"four byte utf8", "\xf0\x9f\x90\x88", u"\U0001F408"},
                      // 中文 in GBK: bytes that are no UTF-8.
                      NameRow{"gbk", "\xd6\xd0\xce\xc4.png", u"\xdcd6\xdcd0\xdcce\xdcc4.png"},
                      NameRow{"stray continuation", "a\x80z", u"a\xdc80z"},
                      NameRow{"truncated sequence", "\xe7\x8c", u"\xdce7\xdc8c"},
                      NameRow{"overlong slash", "\xc0\xaf", u"\xdcc0\xdcaf"},
                      NameRow{"encoded surrogate", "\xed\xb2\x80", u"\xdced\xdcb2\xdc80"},
                      NameRow{"beyond unicode", "\xf4\x90\x80\x80", u"\xdcf4\xdc90\xdc80\xdc80"},
                      NameRow{"latin1 e acute", "caf\xe9", u"caf\xdce9"}),
    test::kRowName);

TEST(NativeNames, SurrogatesThatNoNameGivesBecomeTheReplacementCharacter) {
    const QString text = QString(QChar(0xD800)) + u'x' + QChar(0xDC10);
    EXPECT_EQ(EncodeNativeName(text), QByteArray("\xef\xbf\xbdx\xef\xbf\xbd"));
    EXPECT_EQ(NativeNameBytes(text), 7);
}

}  // namespace
}  // namespace corvane
