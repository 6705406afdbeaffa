#include "cli/terminal/language.h"

#include <cctype>
#include <cstdlib>

#include "cli/output/text_output.h"

namespace kowaki::cli {

namespace {

// "ja", "ja_JP.UTF-8", "ja-JP": Japanese. "C", "en_US": not.
bool NamesJapanese(std::string_view locale) {
  return locale.substr(0, 2) == "ja" && (locale.size() == 2 || !std::isalpha(locale[2]));
}

}  // namespace

Language LanguageFromEnvironment() {
  for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (!value || !*value) continue;
    std::string_view locale = value;
    locale = locale.substr(0, locale.find(':'));
    return NamesJapanese(locale) ? Language::kJapanese : Language::kEnglish;
  }
  return platform::SystemLanguageIsJapanese() ? Language::kJapanese : Language::kEnglish;
}

bool ParseLanguage(std::string_view name, Language* language) {
  if (name != "en" && name != "ja") return false;
  *language = name == "ja" ? Language::kJapanese : Language::kEnglish;
  return true;
}

void Complain(std::string_view message) {
  std::string out;
  while (!message.empty()) {
    const size_t end = message.find('\n');
    const std::string_view line = message.substr(0, end);
    if (!line.empty()) out += "kowaki-cli: " + std::string(line) + "\n";
    message = end == std::string_view::npos ? std::string_view() : message.substr(end + 1);
  }
  PrintText(stderr, out);
}

}  // namespace kowaki::cli
