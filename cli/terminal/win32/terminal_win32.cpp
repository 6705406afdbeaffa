#include <windows.h>

#include <shellapi.h>

#include <io.h>

#include <climits>
#include <cstdio>

#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "common/win32/code_pages.h"

namespace kowaki::cli {

std::vector<std::string> Utf8Arguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(win32::Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

std::string PathForDisplay(std::string_view path) { return ShownText(path); }

std::string_view FileNameOf(std::string_view path) {
  const size_t separator = path.find_last_of("\\/:");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

bool EntryNameFromStem(std::string_view stem, std::string* name) { return Utf8ToCp932(stem, name); }

void PrintText(std::FILE* out, std::string_view utf8) {
  // A console shows its own code page; files and pipes get UTF-8.
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(out)));
  DWORD mode;
  std::string text;
  if (GetConsoleMode(handle, &mode) && win32::Recode(CP_UTF8, GetConsoleOutputCP(), utf8, &text)) {
    PrintBytes(out, text);
  } else {
    PrintBytes(out, utf8);
  }
}

// The C library writes a console or other character device, which it
// leaves unbuffered, one byte at a time (under Wine two round trips to its
// server a byte); handed the whole text, it makes one write of it.
void PrintBytes(std::FILE* out, std::string_view bytes) {
  std::fflush(out);
  const int fd = _fileno(out);
  while (!bytes.empty()) {
    const unsigned chunk = bytes.size() > INT_MAX ? INT_MAX : static_cast<unsigned>(bytes.size());
    const int written = _write(fd, bytes.data(), chunk);
    if (written <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

bool platform::SystemLanguageIsJapanese() {
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
}

}  // namespace kowaki::cli
