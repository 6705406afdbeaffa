#include "text/catalogue.h"

#include <atomic>
#include <iterator>

namespace kowaki {

namespace {

struct Row {
  const char* japanese;
  const char* english;
};

constexpr Row kRows[] = {
#define KOWAKI_TEXT(id, japanese, english) {japanese, english},
#include "text/texts.def"
#undef KOWAKI_TEXT
};

std::atomic<Language> g_language{Language::kJapanese};

}  // namespace

void SetLanguage(Language language) { g_language = language; }

Language CurrentLanguage() { return g_language; }

const char* TextIn(Language language, Text text) {
  const Row& row = kRows[static_cast<size_t>(text)];
  return language == Language::kJapanese ? row.japanese : row.english;
}

}  // namespace kowaki
