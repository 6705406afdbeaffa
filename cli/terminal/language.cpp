#include "cli/terminal/language.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "cli/output/text_output.h"
#include "text/texts.h"

namespace kowaki::cli {

namespace {

Language g_language = Language::kEnglish;

// The system's texts as a terminal shows them in English; the same
// conversions in the same order.
constexpr std::pair<const char*, const char*> kEnglishTexts[] = {
    {texts::kCaptionError, "error"},
    {texts::kCaptionWarning, "warning"},
    {texts::kCaptionFailure, "error"},
    {texts::kCannotOpenArchive,
     "cannot open %s\n\ncheck that the file exists and is the right file"},
    {texts::kColumnTitles[0], "name"},
    {texts::kColumnTitles[1], "size"},
    {texts::kColumnTitles[2], "seconds"},
    {texts::kColumnTitles[3], "channels"},
    {texts::kColumnTitles[4], "rate"},
    {texts::kNothingToExport, "no entries selected to export"},
    {texts::kNothingToPlay, "no entries selected to play"},
    {texts::kWorkListing, "listing %d/%d"},
    {texts::kWorkExporting, "%s exporting %d/%d"},
    {texts::kWorkPlaying, "%s playing %d/%d"},
    {texts::kCannotOpenOutput, "cannot open the output file\n\n  '%s'\n\ncheck the destination"},
    {texts::kMergeTooLarge,
     "the output file is about to pass its size limit\nwritten up to %s\n"
     "select fewer entries at once"},
    {texts::kMergeWriteFailed,
     "the output file cannot be written to any more\nwritten up to %s\n"
     "check the free space at the destination"},
    {texts::kMergeWriteFailedEmpty,
     "the output file cannot be written to any more\ncheck the free space at the destination"},
    {texts::kExportFailed, "%d taken up, %d could not be exported"},
    {texts::kExportStopped, "export stopped; entries left: %d"},
    {texts::kPlayFailed, "%d taken up, %d could not be played"},
    {texts::kPlayStopped, "playback stopped; entries left: %d"},
    {texts::kOutOfMemory, "out of memory"},
    {texts::kCannotStartJob, "the job could not be started"},
};

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

void SetLanguage(Language language) { g_language = language; }

Language CurrentLanguage() { return g_language; }

const char* Say(const char* english, const char* japanese) {
  return g_language == Language::kJapanese ? japanese : english;
}

const char* SystemText(const char* text) {
  if (g_language == Language::kJapanese) return text;
  for (const auto& [japanese, english] : kEnglishTexts) {
    if (std::strcmp(japanese, text) == 0) return english;
  }
  return text;
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
