#pragma once
// The system's texts and paths are UTF-8; the window calls the wide
// interfaces, so that it reads right whatever code page the system is set
// to. Every text crosses over here; entry names carried in a text are
// decoded as code page 932 on the way (win32::Wide).

#include <windows.h>

#include <string_view>

#include "common/win32/code_pages.h"

namespace kowaki {

using win32::Utf8;
using win32::Wide;

// A message box with an OK button, its texts given in UTF-8.
inline void ShowMessageBox(HWND owner, std::string_view text, std::string_view caption) {
  MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), MB_OK);
}

}  // namespace kowaki
