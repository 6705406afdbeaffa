#pragma once
// The system's texts are UTF-8; the window's ANSI interfaces take code page
// 932. Every text crosses over here.

#include <windows.h>

#include <string>
#include <string_view>

#include "common/cp932.h"

namespace kowaki {

// Bytes carried in the text (names and paths as NameText and PathText
// give them) come back as they were.
inline std::string Ansi(std::string_view utf8) { return Utf8ToCp932Lossy(utf8); }

// A message box with an OK button, its texts given in UTF-8.
inline void ShowAnsiMessage(HWND owner, std::string_view text, std::string_view caption) {
  MessageBoxA(owner, Ansi(text).c_str(), Ansi(caption).c_str(), MB_OK);
}

}  // namespace kowaki
