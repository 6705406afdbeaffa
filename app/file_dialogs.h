#pragma once
// What the common file dialogs share: the filter list, the path buffer's
// size and the dialog record.

#include <windows.h>

#include <commdlg.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "app/wide_text.h"

namespace kowaki {

// A chosen path with its ending zero, in UTF-16 units.
inline constexpr size_t kPathBufferSize = 1024;

// Display text and pattern (UTF-8) in pairs, each ended by a zero, the
// whole ended by one more.
inline std::wstring FileDialogFilter(std::initializer_list<std::string_view> texts_and_patterns) {
  std::wstring filter;
  for (std::string_view part : texts_and_patterns) {
    filter += Wide(part);
    filter += L'\0';
  }
  return filter;  // c_str() adds the last zero
}

// The record for GetOpenFileNameW or GetSaveFileNameW: owned by `owner`,
// the chosen path into `path`, filter index 0 (the first pair).
inline OPENFILENAMEW FileDialogRecord(HWND owner, const std::wstring& filter,
                                      wchar_t (&path)[kPathBufferSize], DWORD flags) {
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = path;
  dialog.nMaxFile = kPathBufferSize;
  dialog.Flags = flags;
  return dialog;
}

}  // namespace kowaki
