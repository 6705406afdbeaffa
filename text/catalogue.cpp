#include "text/catalogue.h"

#include <atomic>
#include <cstring>
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

std::string WithSystemError(std::string text, int system_error) {
  if (system_error != 0) text += std::string(": ") + std::strerror(system_error);
  return text;
}

}  // namespace kowaki
