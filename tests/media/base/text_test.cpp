#include <gtest/gtest.h>

#include "media/base/text_codec.h"
#include "media/base/text_convert.h"

namespace vidora {
namespace {

TEST(TextCodec, StrictAndLenientRecoding) {
  EXPECT_EQ(Recode("caf\xE9", "WINDOWS-1252", "UTF-8"), "caf\xC3\xA9");
  EXPECT_EQ(Recode("\xC5\x82", "UTF-8", "ISO-8859-1"), std::nullopt) << "no counterpart: nothing";
  EXPECT_EQ(Recode("a\x81z", "WINDOWS-1252", "UTF-8", true), "az") << "a byte 1252 does not define is skipped";
  EXPECT_EQ(Recode("x", "NO-SUCH-SET", "UTF-8", true), std::nullopt);
  std::string many(100000, '\xE9');
  EXPECT_EQ(Recode(many, "ISO-8859-1", "UTF-8")->size(), 200000u) << "the output grows as it must";
}

TEST(TextCodec, LinesAndTrimming) {
  EXPECT_EQ(SplitLines("a\r\nb\n\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(SplitLines("a\n"), (std::vector<std::string>{"a"}));
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(Trim(" \t x y \r\n"), "x y");
  EXPECT_EQ(Trim("\r x \r", " \t"), "\r x \r");
  EXPECT_EQ(Upper("aB1"), "AB1");
  EXPECT_EQ(Lower("aB1"), "ab1");
}

TEST(TextCodec, Utf8BothWays) {
  std::string polish = "Zażółć gęślą jaźń \xF0\x9F\x98\x80";
  EXPECT_EQ(DecodeUtf8(polish).size(), 19u);
  EXPECT_EQ(EncodeUtf8(DecodeUtf8(polish)), polish);
  EXPECT_EQ(DecodeUtf8("a\xC3"), std::u32string(U"a\uFFFD")) << "a cut-off sequence";
  bool valid = true;
  EXPECT_EQ(DecodeUtf8("\xFF" "b", &valid), std::u32string(U"\uFFFDb"));
  EXPECT_FALSE(valid);
  DecodeUtf8(polish, &valid);
  EXPECT_TRUE(valid);
}

}  // namespace
}  // namespace vidora
