#include "common/cp932.h"

#include <gtest/gtest.h>

namespace kowaki {
namespace {

TEST(Cp932Test, DecodesAndShowsTheRestAsBytes) {
  EXPECT_EQ(Cp932ToUtf8("v_0001"), "v_0001");
  EXPECT_EQ(Cp932ToUtf8("\x82\xb1\x82\xa6\x30\x31"), "こえ01");
  EXPECT_EQ(Cp932ToUtf8("\xc3\xbd\xc4"), "ﾃｽﾄ");
  EXPECT_EQ(Cp932ToUtf8("ab\x82"), "ab\\x82");     // lead byte at the end
  EXPECT_EQ(Cp932ToUtf8("\x81\x20z"), "\\x81 z");  // no valid trail byte
}

TEST(Cp932Test, EncodesAndTakesEscapesAsBytes) {
  std::string bytes;
  ASSERT_TRUE(Utf8ToCp932("こえ\\x81", &bytes));
  EXPECT_EQ(bytes, "\x82\xb1\x82\xa6\x81");
  ASSERT_TRUE(Utf8ToCp932(Cp932ToUtf8("\x81\x20\x82\xb1\xff"), &bytes));
  EXPECT_EQ(bytes, "\x81\x20\x82\xb1\xff");  // what decoding shows comes back
  EXPECT_FALSE(Utf8ToCp932("😀", &bytes));
  EXPECT_FALSE(Utf8ToCp932("\xff", &bytes));
  EXPECT_FALSE(Utf8ToCp932("\xe3\x81", &bytes));  // cut short
  EXPECT_EQ(Utf8ToCp932Lossy("こ😀\xffき"), "\x82\xb1??\x82\xab");
}

}  // namespace
}  // namespace kowaki
