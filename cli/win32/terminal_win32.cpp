#include <windows.h>

#include <io.h>

#include <cstdio>

#include "cli/language.h"
#include "cli/text_output.h"
#include "common/win32/code_pages.h"

namespace kowaki::cli {

// Command-line paths arrive in the ANSI code page.
std::string PathForDisplay(std::string_view path) {
  std::string out;
  if (!win32::Recode(CP_ACP, CP_UTF8, path, &out)) return Cp932ToUtf8(path);
  return ShownText(out);
}

std::string_view FileNameOf(std::string_view path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
      ++i;  // its second byte may be 0x5C, and is no separator then
    } else if (path[i] == '\\' || path[i] == '/' || path[i] == ':') {
      start = i + 1;
    }
  }
  return path.substr(start);
}

// Stems arrive as ANSI bytes, which is what the archive keeps.
bool EntryNameFromStem(std::string_view stem, std::string* name) {
  *name = std::string(stem);
  return true;
}

void PrintText(std::FILE* out, std::string_view utf8) {
  // A console shows its own code page; files and pipes get UTF-8.
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
  DWORD mode;
  std::string text;
  if (GetConsoleMode(handle, &mode) && win32::Recode(CP_UTF8, GetConsoleOutputCP(), utf8, &text)) {
    std::fwrite(text.data(), 1, text.size(), out);
  } else {
    std::fwrite(utf8.data(), 1, utf8.size(), out);
  }
}

bool platform::SystemLanguageIsJapanese() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
}

}  // namespace kowaki::cli
