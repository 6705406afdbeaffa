// The catalogue of texts: both languages of every row.

#include "text/catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace kowaki {
namespace {

struct Row {
  Text text;
  const char* id;
};

constexpr Row kRows[] = {
#define KOWAKI_TEXT(id, japanese, english) {Text::id, #id},
#include "text/texts.def"
#undef KOWAKI_TEXT
};

// The arguments a printf format takes, in order: each conversion as its
// length modifier and letter ("lld", "s"), and "*" for a width or
// precision given as an argument.
std::vector<std::string> Arguments(std::string_view format) {
  std::vector<std::string> arguments;
  size_t i = 0;
  while ((i = format.find('%', i)) != std::string_view::npos) {
    if (format.substr(i, 2) == "%%") {
      i += 2;
      continue;
    }
    for (++i; i < format.size() && std::strchr("-+ #0123456789.*", format[i]); ++i) {
      if (format[i] == '*') arguments.emplace_back("*");
    }
    const size_t start = i;
    while (i < format.size() && std::strchr("hljztL", format[i])) ++i;
    arguments.emplace_back(format.substr(start, i + 1 - start));
    ++i;
  }
  return arguments;
}

// A row whose languages took different arguments would print garbage in
// one of them, or crash; an empty text would say nothing.
TEST(CatalogueTest, EveryTextSaysSomethingWithTheSameArgumentsInBothLanguages) {
  for (const Row& row : kRows) {
    const std::string_view japanese = TextIn(Language::kJapanese, row.text);
    const std::string_view english = TextIn(Language::kEnglish, row.text);
    EXPECT_FALSE(japanese.empty()) << row.id;
    EXPECT_FALSE(english.empty()) << row.id;
    EXPECT_EQ(Arguments(japanese), Arguments(english)) << row.id;
  }
}

}  // namespace
}  // namespace kowaki
