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
  // Nothing that would steer a terminal: C0 controls and DEL.
  EXPECT_EQ(Cp932ToUtf8("\x1b]0;t\x07\n\x7f"), "\\x1b]0;t\\x07\\x0a\\x7f");
}

TEST(Cp932Test, ShownTextEscapesControlsAndWhatIsNotUtf8) {
  EXPECT_EQ(ShownText("こえ a~"), "こえ a~");
  EXPECT_EQ(ShownText("\t\r\x1b[2J"), "\\x09\\x0d\\x1b[2J");
  EXPECT_EQ(ShownText("\xc2\x9b"
                      "1m\xc2\x85\xc2\xa0"),
            "\\x9b1m\\x85\xc2\xa0");  // C1 controls; U+00A0 is text
  EXPECT_EQ(ShownText("\xff\xe3\x81"), "\\xff\\xe3\\x81");
}

TEST(Cp932Test, EncodesTextAndCarriedBytesButNoEscapes) {
  std::string bytes;
  ASSERT_TRUE(Utf8ToCp932("こえ\\x81", &bytes));
  EXPECT_EQ(bytes, "\x82\xb1\x82\xa6\\x81");  // \xNN is only ever shown
  EXPECT_FALSE(Utf8ToCp932("😀", &bytes));
  EXPECT_FALSE(Utf8ToCp932("\xff", &bytes));
  EXPECT_FALSE(Utf8ToCp932("\xe3\x81", &bytes));      // cut short
  EXPECT_FALSE(Utf8ToCp932("\xed\xa0\x80", &bytes));  // a surrogate that carries no byte
}

}  // namespace
}  // namespace kowaki
