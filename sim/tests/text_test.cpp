#include "sim/core/text.h"

#include <gtest/gtest.h>

namespace nolpa::sim {
namespace {

TEST(SimTextTest, Utf8AndUtf16RoundTrip) {
  const std::u16string units = u"A\u00C4\u0141\u30A2\U0001F600";
  const auto utf8 = Utf16ToUtf8(units);
  ASSERT_TRUE(utf8.has_value());
  EXPECT_EQ(*utf8, "A\xC3\x84\xC5\x81\xE3\x82\xA2\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToUtf16(*utf8), units);
}

TEST(SimTextTest, UnpairedSurrogatesHaveNoUtf8) {
  EXPECT_FALSE(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))).has_value());
  EXPECT_FALSE(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))).has_value());
}

TEST(SimTextTest, MalformedUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");                    // cut short
  EXPECT_EQ(Utf8ToUtf16("\xC0\x80"), u"\uFFFD\uFFFD");            // overlong NUL
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
}

TEST(SimTextTest, ByteStringsSurviveUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToBytes(BytesToUtf8(all)), all);
  EXPECT_EQ(Narrow(u"\u0141A"), std::string("\x41"
                                            "A"));
  EXPECT_EQ(Widen("\xC4"), u"\u00C4");
}

TEST(SimTextTest, HexBytes) {
  EXPECT_EQ(FormatHexBytes({0x04, 0x03, 0xAB}), "04 03 AB");
  EXPECT_EQ(ParseHexBytes("04 03ab"), (std::vector<std::uint8_t>{0x04, 0x03, 0xAB}));
  EXPECT_FALSE(ParseHexBytes("4").has_value());
  EXPECT_FALSE(ParseHexBytes("0x04").has_value());
}

}  // namespace
}  // namespace nolpa::sim
