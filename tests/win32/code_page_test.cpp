// The Windows build's texts go through the ANSI interfaces in code page
// 932; these tests prove the Wine set-up gives the program that code page.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CodePageTest, AnsiCodePageIs932) { EXPECT_EQ(GetACP(), 932u); }

TEST(CodePageTest, AnsiTextRoundTripsThroughTheSystem) {
  // "こわき" in Shift-JIS, as the window title is set.
  const char title[] = "\x82\xb1\x82\xed\x82\xab";
  wchar_t wide[8] = {};
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, title, -1, wide, 8), 4);
  EXPECT_EQ(std::wstring(wide), L"\u3053\u308f\u304d");
  char back[16] = {};
  ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, wide, -1, back, sizeof back, nullptr, nullptr), 0);
  EXPECT_STREQ(back, title);
}

}  // namespace
