#pragma once
// The output settings dialog, IDD_CFG_DIALOG, run modally from the main
// window: it reads the stored settings when it opens and stores its choices
// on OK.

#include <windows.h>

namespace kowaki {

INT_PTR CALLBACK OutputSettingsDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace kowaki
