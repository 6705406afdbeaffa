#pragma once
// The window's message boxes. Where the dialogs are made in another face
// than their templates name (DialogFaceReplaced: no ＭＳ Ｐゴシック, as under
// Wine or on a Windows without the Japanese fonts), the system's message
// font may have no Japanese glyphs either: the box's text and button then
// take the dialogs' face at the message font's size, and the box grows to
// the text's size in it, before it is shown.

#include <windows.h>

#include <string_view>

namespace kowaki {

// A message box with an OK button, its texts given in UTF-8.
void ShowMessageBox(HWND owner, std::string_view text, std::string_view caption);

}  // namespace kowaki
