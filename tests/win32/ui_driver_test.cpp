// The test driver itself: message boxes are found, read and answered.

#include <gtest/gtest.h>

#include "tests/win32/ui_driver.h"

namespace kowaki::test {
namespace {

TEST(UiDriverTest, AnswersMessageBoxesAndReadsThem) {
  MessageBoxAnswerer answerer;
  const std::string text = Ansi("再生対象が選択されていません");
  const std::string caption = Ansi("警告");
  EXPECT_EQ(MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK), IDOK);
  ASSERT_TRUE(answerer.WaitFor(1));
  ASSERT_EQ(answerer.boxes().size(), 1u);
  EXPECT_EQ(answerer.boxes()[0].caption, caption);
  EXPECT_EQ(answerer.boxes()[0].text, text);
}

}  // namespace
}  // namespace kowaki::test
