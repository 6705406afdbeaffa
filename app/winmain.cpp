// kowaki.exe: the main window and its message loop.

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>

#include "app/dialog_font.h"
#include "app/main_window.h"
#include "app/wide_text.h"
#include "res/resource.h"

namespace {

// The first command-line argument (UTF-8), as "Open with" and a file
// dropped on the program give it; empty without one.
std::string ArchiveArgument() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments) return {};
  std::string path = count > 1 ? kowaki::Utf8(arguments[1]) : std::string();
  LocalFree(arguments);
  return path;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  CoInitializeEx(nullptr, 0);
  // WM_INITDIALOG runs inside this call: the archive is found and its
  // listing started before the window shows.
  const std::string archive = ArchiveArgument();
  HWND window =
      kowaki::CreateDialogInFace(instance, IDD_MAIN_DIALOG, nullptr, kowaki::MainDialogProc,
                                 archive.empty() ? 0 : reinterpret_cast<LPARAM>(&archive));
  if (window) {
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_KOWAKI));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    ShowWindow(window, SW_SHOWNORMAL);
  }
  MSG msg = {};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(window, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return static_cast<int>(msg.wParam);
}
