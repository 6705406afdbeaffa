#pragma once
// Every text the system shows, by id: one row per text in texts.def, with
// its Japanese (the window's own words, byte for byte) and its English.
// A face picks the language once, before any job runs; the window is
// Japanese. Jobs and commands say things by id, never by display string.

#include <cstdint>
#include <string>
#include <type_traits>

#include "text/format_text.h"

namespace kowaki {

enum class Language : uint8_t { kJapanese, kEnglish };

enum class Text : uint16_t {
#define KOWAKI_TEXT(id, japanese, english) id,
#include "text/texts.def"
#undef KOWAKI_TEXT
};

// The language every Say gives; Japanese until a face sets another.
void SetLanguage(Language language);
Language CurrentLanguage();

const char* TextIn(Language language, Text text);
inline const char* Say(Text text) { return TextIn(CurrentLanguage(), text); }

// `text`, then the system's own words for `system_error` when there is
// one (errno; on Windows the GetLastError code).
std::string WithSystemError(std::string text, int system_error);

namespace text_detail {
// What a conversion is given: a std::string as its characters, numbers
// and C strings as they are. Anything else would be no printf argument.
inline const char* Argument(const std::string& text) { return text.c_str(); }
template <class T>
T Argument(T value) {
  static_assert(std::is_arithmetic_v<T> || std::is_pointer_v<T>, "not a printf argument");
  return value;
}
}  // namespace text_detail

// A text with printf-style conversions, filled in. Both languages of a row
// take the same conversions in the same order.
template <class... Args>
std::string Say(Text text, const Args&... args) {
  return FormatText(Say(text), text_detail::Argument(args)...);
}

}  // namespace kowaki
