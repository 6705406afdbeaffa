#pragma once
// What the common file dialogs share: the filter list, the path buffer's
// size and the dialog record.

#include <windows.h>

#include <commdlg.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace kowaki {

// A chosen path with its ending zero.
inline constexpr size_t kPathBufferSize = 1024;

// Display text and pattern in pairs, each ended by a zero, the whole ended
// by one more.
inline std::string FileDialogFilter(std::initializer_list<std::string_view> texts_and_patterns) {
  std::string filter;
  for (std::string_view part : texts_and_patterns) {
    filter += part;
    filter += '\0';
  }
  return filter;  // c_str() adds the last zero
}

// The record for GetOpenFileNameA or GetSaveFileNameA: owned by `owner`,
// the chosen path into `path`, filter index 0 (the first pair).
inline OPENFILENAMEA FileDialogRecord(HWND owner, const std::string& filter,
                                      char (&path)[kPathBufferSize], DWORD flags) {
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = path;
  dialog.nMaxFile = kPathBufferSize;
  dialog.Flags = flags;
  return dialog;
}

}  // namespace kowaki
