#include <windows.h>

#include "common/cp932.h"
#include "common/win32/code_pages.h"

namespace kowaki {

namespace win32 {

namespace {

bool ToWide(UINT code_page, std::string_view text, std::wstring* wide) {
  wide->clear();
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  const int n =
      MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (n <= 0) return false;
  wide->resize(static_cast<size_t>(n));
  return MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), length, wide->data(),
                             n) == n;
}

bool FromWide(UINT code_page, std::wstring_view wide, std::string* out) {
  if (wide.empty()) return true;
  const int length = static_cast<int>(wide.size());
  const bool utf8 = code_page == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(code_page, flags, wide.data(), length, nullptr, 0, nullptr,
                                    utf8 ? nullptr : &lossy);
  if (n <= 0 || lossy) return false;
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(code_page, flags, wide.data(), length, bytes.data(), n, nullptr, nullptr);
  out->append(bytes);
  return true;
}

// Without MB_ERR_INVALID_CHARS, as the system's ANSI functions convert:
// a byte that starts no character still becomes one.
void AppendWide(UINT code_page, std::string_view bytes, std::wstring* out) {
  if (bytes.empty()) return;
  const int length = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(code_page, 0, bytes.data(), length, nullptr, 0);
  if (n <= 0) return;
  const size_t at = out->size();
  out->resize(at + static_cast<size_t>(n));
  MultiByteToWideChar(code_page, 0, bytes.data(), length, out->data() + at, n);
}

}  // namespace

bool Recode(UINT from, UINT to, std::string_view text, std::string* out) {
  std::wstring wide;
  return ToWide(from, text, &wide) && FromWide(to, wide, out);
}

std::wstring Wide(std::string_view utf8) {
  std::wstring out;
  AppendWide(CP_UTF8, utf8, &out);
  return out;
}

std::string Cp932Text(std::string_view bytes) {
  std::wstring wide;
  AppendWide(932, bytes, &wide);
  return Utf8(wide);
}

std::string Utf8(std::wstring_view wide) {
  std::string out;
  if (wide.empty()) return out;
  const int length = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return out;
  out.resize(static_cast<size_t>(n));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace win32

namespace platform {

bool Cp932CharToUtf8(std::string_view bytes, std::string* utf8) {
  // A lone lead byte must fail, not convert to nothing.
  if (bytes.size() == 1 && IsDBCSLeadByteEx(932, static_cast<BYTE>(bytes[0]))) return false;
  return win32::Recode(932, CP_UTF8, bytes, utf8);
}

bool Utf8CharToCp932(std::string_view utf8_char, std::string* bytes) {
  return win32::Recode(CP_UTF8, 932, utf8_char, bytes);
}

}  // namespace platform

}  // namespace kowaki
