#pragma once
// The language of kowaki-cli's texts: English, or Japanese when the
// locale's language is Japanese (or --lang ja). The CLI picks it once at
// start-up (kowaki::SetLanguage); names and paths are shown as they are in
// either.

#include <string_view>

#include "text/catalogue.h"

namespace kowaki::cli {

// From LANGUAGE, LC_ALL, LC_MESSAGES and LANG, the first one set (of
// LANGUAGE, its first language); with none set, the system's own on
// Windows and English elsewhere.
Language LanguageFromEnvironment();
// "en" or "ja"; false for anything else.
bool ParseLanguage(std::string_view name, Language* language);

// Every message goes to stderr as lines starting "kowaki-cli: ".
void Complain(std::string_view message);

namespace platform {
// Whether the user's interface language is Japanese, where the system says.
bool SystemLanguageIsJapanese();
}  // namespace platform

}  // namespace kowaki::cli
