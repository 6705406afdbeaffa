#include "app/message_box.h"

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "app/dialog_font.h"
#include "app/wide_text.h"

namespace kowaki {

namespace {

constexpr int kTextId = 0xFFFF;  // the box's text control

struct FontDelete {
  void operator()(HFONT font) const { DeleteObject(font); }
};
using FontPtr = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDelete>;

// The message font's size in the dialogs' face, made once.
HFONT BoxFont() {
  static const FontPtr font = [] {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    LOGFONTW face = metrics.lfMessageFont;
    face.lfFaceName[DialogFace().copy(face.lfFaceName, LF_FACESIZE - 1)] = L'\0';
    face.lfCharSet = DEFAULT_CHARSET;
    return FontPtr(CreateFontIndirectW(&face));
  }();
  return font.get();
}

// The text's size in `font`, wrapped at `width` pixels.
SIZE TextSize(HWND control, HFONT font, int width) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  HDC dc = GetDC(control);
  const HGDIOBJ before = SelectObject(dc, font);
  RECT area = {0, 0, width, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
            DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  SelectObject(dc, before);
  ReleaseDC(control, dc);
  return {area.right, area.bottom};
}

BOOL CALLBACK SetFontOf(HWND control, LPARAM font) {
  SendMessageW(control, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

// Moves a button within the box by the point `shift` points to.
BOOL CALLBACK MoveButton(HWND control, LPARAM shift) {
  if (GetDlgCtrlID(control) == kTextId) return TRUE;
  const POINT* by = reinterpret_cast<const POINT*>(shift);
  RECT at;
  GetWindowRect(control, &at);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&at), 2);
  SetWindowPos(control, nullptr, at.left + by->x, at.top + by->y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return TRUE;
}

// The box as the system laid it out, its font replaced and its text
// control grown to the text in the new font (at most three quarters of the
// screen wide); the buttons follow, the box keeps its centre.
void Relayout(HWND box) {
  HWND text = GetDlgItem(box, kTextId);
  if (!text) return;
  HFONT font = BoxFont();
  EnumChildWindows(box, SetFontOf, reinterpret_cast<LPARAM>(font));
  RECT old;
  GetWindowRect(text, &old);
  const int widest = GetSystemMetrics(SM_CXSCREEN) * 3 / 4;
  const SIZE needed = TextSize(text, font, std::max<int>(old.right - old.left, widest));
  const POINT grow = {std::max<LONG>(0, needed.cx - (old.right - old.left)),
                      std::max<LONG>(0, needed.cy - (old.bottom - old.top))};
  if (grow.x == 0 && grow.y == 0) return;
  SetWindowPos(text, nullptr, 0, 0, old.right - old.left + grow.x, old.bottom - old.top + grow.y,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const POINT shift = {grow.x / 2, grow.y};
  EnumChildWindows(box, MoveButton, reinterpret_cast<LPARAM>(&shift));
  RECT frame;
  GetWindowRect(box, &frame);
  SetWindowPos(box, nullptr, frame.left - grow.x / 2, frame.top - grow.y / 2,
               frame.right - frame.left + grow.x, frame.bottom - frame.top + grow.y,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// The box's own window procedure, and the hook that finds it: the box is
// laid out in its WM_INITDIALOG and shown after it.
thread_local WNDPROC box_procedure = nullptr;
thread_local HHOOK box_hook = nullptr;

LRESULT CALLBACK AfterInit(HWND box, UINT message, WPARAM wparam, LPARAM lparam) {
  const WNDPROC own = box_procedure;
  const LRESULT result = CallWindowProcW(own, box, message, wparam, lparam);
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
    Relayout(box);
  }
  return result;
}

// The class of dialogs, named by its atom or by its name.
bool IsDialogClass(LPCWSTR name) {
  constexpr ULONG_PTR kDialogAtom = 0x8002;  // WC_DIALOG
  return IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) == kDialogAtom
                              : std::wstring_view(name) == L"#32770";
}

LRESULT CALLBACK OnCreate(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND && box_hook) {
    const auto* created = reinterpret_cast<const CBT_CREATEWNDW*>(lparam);
    if (IsDialogClass(created->lpcs->lpszClass)) {
      HWND box = reinterpret_cast<HWND>(wparam);
      box_procedure = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfterInit)));
      UnhookWindowsHookEx(box_hook);
      box_hook = nullptr;
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

void ShowMessageBox(HWND owner, std::string_view text, std::string_view caption) {
  if (DialogFaceReplaced()) {
    box_hook = SetWindowsHookExW(WH_CBT, OnCreate, nullptr, GetCurrentThreadId());
  }
  MessageBoxW(owner, Wide(text).c_str(), Wide(caption).c_str(), MB_OK);
  if (box_hook) UnhookWindowsHookEx(box_hook);
  box_hook = nullptr;
}

}  // namespace kowaki
