#pragma once
// Every text the system shows, by id: one row per text in texts.def, with
// its Japanese (the window's own words, byte for byte) and its English.
// A face picks the language once, before any job runs; the window is
// Japanese. Jobs and commands say things by id, never by display string.

#include <cstdint>
#include <string>

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

// A text with printf-style conversions, filled in. Both languages of a row
// take the same conversions in the same order.
template <class... Args>
std::string Say(Text text, Args... args) {
  return FormatText(Say(text), args...);
}

}  // namespace kowaki
