// Entry names as file names: nothing leaves the folder or opens a device,
// and two entries of a run never share a file.

#include <gtest/gtest.h>

#include "jobs/output_names.h"

namespace kowaki {
namespace {

TEST(SafeFileStemTest, KeepsOrdinaryNamesAndEscapesWhatIsUnsafe) {
  EXPECT_EQ(SafeFileStem("v_0001"), "v_0001");
  EXPECT_EQ(SafeFileStem("\x82\xb1\x82\xa6"), "\x82\xb1\x82\xa6");  // こえ
  EXPECT_EQ(SafeFileStem("\x83\x5c"), "\x83\x5c");  // ソ: its second byte is no backslash
  EXPECT_EQ(SafeFileStem("\xb1\xb2"), "\xb1\xb2");  // half-width katakana
  EXPECT_EQ(SafeFileStem("a/b\\c:d"), "a%2Fb%5Cc%3Ad");
  EXPECT_EQ(SafeFileStem("*?\"<>|%"), "%2A%3F%22%3C%3E%7C%25");
  EXPECT_EQ(SafeFileStem(".."), "%2E.");
  EXPECT_EQ(SafeFileStem(".x"), "%2Ex");
  EXPECT_EQ(SafeFileStem("a\tb\x7f"), "a%09b%7F");
  EXPECT_EQ(SafeFileStem("\x82"), "%82");       // a lead byte without its trail
  EXPECT_EQ(SafeFileStem("\x82\x20"), "%82 ");  // a trail byte that is none
  EXPECT_EQ(SafeFileStem("\x80\xa0\xfd"), "%80%A0%FD");
  EXPECT_EQ(SafeFileStem(""), "%00");
}

TEST(SafeFileStemTest, DeviceNamesGetTheirFirstLetterEscaped) {
  EXPECT_EQ(SafeFileStem("CON"), "%43ON");
  EXPECT_EQ(SafeFileStem("nul"), "%6Eul");
  EXPECT_EQ(SafeFileStem("Com1"), "%43om1");
  EXPECT_EQ(SafeFileStem("LPT9.x"), "%4CPT9.x");
  EXPECT_EQ(SafeFileStem("AUX  .a"), "%41UX  .a");
  EXPECT_EQ(SafeFileStem("CONIN$"), "%43ONIN$");
  EXPECT_EQ(SafeFileStem("COM0"), "COM0");
  EXPECT_EQ(SafeFileStem("CONSOLE"), "CONSOLE");
  EXPECT_EQ(SafeFileStem("LPT"), "LPT");
}

TEST(OutputNamesTest, ALaterClashGetsItsEntryNumber) {
  OutputNames names([](std::string_view stem) { return std::string(stem); });
  EXPECT_EQ(names.Claim("abc", 0), "abc");
  EXPECT_EQ(names.Claim("ABC", 1), "ABC~1");
  EXPECT_EQ(names.Claim("abc", 2), "abc~2");
  EXPECT_EQ(names.Claim("abc~1", 3), "abc~1~3");  // the name a clash took already
  EXPECT_EQ(names.Claim("a/b", 4), "a%2Fb");
  EXPECT_EQ(names.Claim("a%2Fb", 5), "a%252Fb");  // escaping keeps distinct names apart
}

TEST(OutputNamesTest, NamesThatDecodeAlikeClash) {
  // Two byte forms of one character, as code page 932 has them: the face
  // decodes both to the same text.
  OutputNames names([](std::string_view stem) {
    return stem == "\x87\x54" || stem == "\xfa\x4a" ? std::string("\xe2\x85\xa0")
                                                    : std::string(stem);
  });
  EXPECT_EQ(names.Claim("\x87\x54", 0), "\x87\x54");
  EXPECT_EQ(names.Claim("\xfa\x4a", 1), "\xfa\x4a~1");
}

TEST(FoldCaseTest, FoldsTheCasedLettersCodePage932Has) {
  EXPECT_EQ(FoldCase("abcXYZ"), FoldCase("ABCxyz"));
  EXPECT_EQ(FoldCase("ａｂ"), FoldCase("ＡＢ"));
  EXPECT_EQ(FoldCase("αω"), FoldCase("ΑΩ"));
  EXPECT_EQ(FoldCase("жё"), FoldCase("ЖЁ"));
  EXPECT_EQ(FoldCase("ⅰ"), FoldCase("Ⅰ"));
  EXPECT_NE(FoldCase("あ"), FoldCase("ア"));
}

}  // namespace
}  // namespace kowaki
