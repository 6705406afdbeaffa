#pragma once
// The dialogs ask for ＭＳ Ｐゴシック. Where it is not installed (Wine, a
// Windows without the Japanese fonts) their labels would show boxes, so
// they are made from a copy of their template that names another installed
// face with the Japanese glyphs, chosen once. The template keeps its point
// size, so the dialog units and the layout are those the face gives, as
// they would be with the face asked for.

#include <windows.h>

#include <string>

namespace kowaki {

// The face the dialogs are made in: the one their templates name when it is
// installed with the Japanese glyphs; otherwise the first installed of MS UI
// Gothic, Meiryo UI and Yu Gothic UI, else any proportional face with them,
// else any face with them; the templates' own when none is.
const std::wstring& DialogFace();
// Whether DialogFace is another than the one the templates name.
bool DialogFaceReplaced();

// CreateDialogParamW and DialogBoxParamW over the template of resource `id`
// in DialogFace().
HWND CreateDialogInFace(HINSTANCE instance, int id, HWND owner, DLGPROC procedure,
                        LPARAM parameter);
INT_PTR DialogBoxInFace(HINSTANCE instance, int id, HWND owner, DLGPROC procedure,
                        LPARAM parameter);

}  // namespace kowaki
