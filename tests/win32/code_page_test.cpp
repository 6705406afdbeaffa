// The Windows build calls the wide interfaces, so its texts and file names
// do not depend on the system's code page. The Windows tests run under a
// Japanese and an English Wine (KOWAKI_EXPECTED_ACP: 932, 1252); these
// tests prove each gives the program the code page it is meant to have, and
// that the conversions at the boundary are the same under both.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/win32/code_pages.h"

namespace {

using kowaki::win32::Utf8;
using kowaki::win32::Wide;

TEST(CodePageTest, AnsiCodePageIsTheLocalesOwn) {
  const char* expected = std::getenv("KOWAKI_EXPECTED_ACP");
  EXPECT_EQ(GetACP(), expected ? std::strtoul(expected, nullptr, 10) : 932u);
}

TEST(CodePageTest, Utf8TextCrossesToUtf16WhateverTheCodePage) {
  EXPECT_EQ(Wide("こわき Café"), L"\u3053\u308f\u304d Caf\u00e9");
  EXPECT_EQ(Utf8(L"\u3053\u308f\u304d Caf\u00e9"), "こわき Café");
  EXPECT_EQ(Wide(""), L"");
  EXPECT_EQ(Utf8(L""), "");
}

// Names read as a Japanese system's ANSI functions read them, under any
// code page; a byte that is no character too.
TEST(CodePageTest, NamesReadAsCodePage932) {
  EXPECT_EQ(kowaki::win32::Cp932Text("\x82\xb1\x82\xa6_\xb1"), "こえ_ｱ");
  for (const std::string bytes : {"\xff", "a\x82\xb1\xfd", "\xed\x40x", "\x85\x40"}) {
    wchar_t expected[16] = {};
    MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), expected, 15);
    EXPECT_EQ(kowaki::win32::Cp932Text(bytes), Utf8(expected)) << testing::PrintToString(bytes);
  }
}

}  // namespace
