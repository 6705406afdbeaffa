// kowaki.exe: the main window and its message loop.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "app/main_window.h"
#include "res/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  CoInitializeEx(nullptr, 0);
  // WM_INITDIALOG runs inside this call: the archive is found and its
  // listing started before the window shows.
  HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_MAIN_DIALOG), nullptr,
                                   kowaki::MainDialogProc, 0);
  if (window) {
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_KOWAKI));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    ShowWindow(window, SW_SHOWNORMAL);
  }
  MSG msg = {};
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageA(window, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return static_cast<int>(msg.wParam);
}
