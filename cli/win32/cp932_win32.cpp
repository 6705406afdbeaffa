#include <windows.h>

#include <io.h>

#include <cstdio>

#include "cli/text_output.h"

namespace kowaki::cli {

namespace {

constexpr UINT kCp932 = 932;

// Converts exactly `text` from `code_page` to UTF-16; false on any byte
// the code page does not define.
bool ToWide(UINT code_page, std::string_view text, std::wstring* wide) {
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  int n = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (n <= 0) return false;
  wide->resize(static_cast<size_t>(n));
  return MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), length, wide->data(),
                             n) == n;
}

// From UTF-16 to `code_page`; false when a character has no exact form.
bool FromWide(UINT code_page, std::wstring_view wide, std::string* out) {
  if (wide.empty()) return true;
  const int length = static_cast<int>(wide.size());
  BOOL lossy = FALSE;
  const bool utf8 = code_page == CP_UTF8;
  DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int n = WideCharToMultiByte(code_page, flags, wide.data(), length, nullptr, 0, nullptr,
                              utf8 ? nullptr : &lossy);
  if (n <= 0 || lossy) return false;
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(code_page, flags, wide.data(), length, bytes.data(), n, nullptr, nullptr);
  out->append(bytes);
  return true;
}

bool Recode(UINT from, UINT to, std::string_view text, std::string* out) {
  std::wstring wide;
  return ToWide(from, text, &wide) && FromWide(to, wide, out);
}

}  // namespace

namespace platform {

bool Cp932CharToUtf8(std::string_view bytes, std::string* utf8) {
  // A lone lead byte "converts" to nothing rather than failing.
  std::wstring wide;
  if (!ToWide(kCp932, bytes, &wide) || wide.size() != 1) return false;
  return FromWide(CP_UTF8, wide, utf8);
}

bool Utf8CharToCp932(std::string_view utf8_char, std::string* bytes) {
  return Recode(CP_UTF8, kCp932, utf8_char, bytes);
}

}  // namespace platform

// Command-line paths arrive in the ANSI code page.
std::string PathForDisplay(std::string_view path) {
  std::string out;
  if (!Recode(CP_ACP, CP_UTF8, path, &out)) return Cp932ToUtf8(path);
  return out;
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
  if (GetConsoleMode(handle, &mode) && Recode(CP_UTF8, GetConsoleOutputCP(), utf8, &text)) {
    std::fwrite(text.data(), 1, text.size(), out);
  } else {
    std::fwrite(utf8.data(), 1, utf8.size(), out);
  }
}

}  // namespace kowaki::cli
