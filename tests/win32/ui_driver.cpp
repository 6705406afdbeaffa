#include "tests/win32/ui_driver.h"

#include <utility>

namespace kowaki::test {

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;

BOOL CALLBACK FindInputControl(HWND child, LPARAM param) {
  char class_name[32] = {};
  GetClassNameA(child, class_name, sizeof class_name);
  for (const char* input :
       {"Edit", "ComboBox", "ComboBoxEx32", "ListBox", "SysTreeView32", "SysListView32"}) {
    if (lstrcmpiA(class_name, input) == 0) {
      *reinterpret_cast<bool*>(param) = true;
      return FALSE;
    }
  }
  return TRUE;
}

// A message box: a dialog with the system's text control and nothing to
// type or choose in (file and folder pickers have labels with that id too).
bool IsMessageBox(HWND window) {
  if (!GetDlgItem(window, kMessageBoxTextId)) return false;
  bool has_input = false;
  EnumChildWindows(window, FindInputControl, reinterpret_cast<LPARAM>(&has_input));
  return !has_input;
}

struct DialogSearch {
  DWORD process;
  const std::function<bool(HWND)>* match;
  HWND found;
};

BOOL CALLBACK FindMatchingDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<DialogSearch*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char class_name[16] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  if (process == search->process && IsWindowVisible(window) &&
      lstrcmpA(class_name, "#32770") == 0 && (*search->match)(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// A control's font face, and whether its text drawn in that font, wrapped
// at the control's width, stays within the control.
std::pair<std::wstring, bool> FontAndFit(HWND control) {
  const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  LOGFONTW described = {};
  if (!font || !GetObjectW(font, sizeof described, &described)) return {};
  wchar_t text[4096] = {};
  GetWindowTextW(control, text, 4096);
  RECT client, needed;
  GetClientRect(control, &client);
  needed = client;
  HDC dc = GetDC(control);
  const HGDIOBJ before = SelectObject(dc, font);
  DrawTextW(dc, text, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  SelectObject(dc, before);
  ReleaseDC(control, dc);
  return {described.lfFaceName, needed.right <= client.right && needed.bottom <= client.bottom};
}

}  // namespace

std::string Utf8(const wchar_t* wide) {
  char text[8192] = {};
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

std::wstring Wide(const std::string& utf8) {
  wchar_t wide[4096] = {};
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide, 4096);
  return wide;
}

std::string WindowText(HWND window) {
  wchar_t text[4096] = {};
  GetWindowTextW(window, text, 4096);
  return Utf8(text);
}

HWND FindOwnDialog(const std::function<bool(HWND)>& match) {
  DialogSearch search = {GetCurrentProcessId(), &match, nullptr};
  EnumWindows(FindMatchingDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindDialog(std::string_view caption) {
  return FindOwnDialog([caption](HWND window) { return WindowText(window) == caption; });
}

DialogAutomation::DialogAutomation(std::string caption, std::function<void(HWND)> action)
    : DialogAutomation(
          [caption = std::move(caption)](HWND window) { return WindowText(window) == caption; },
          std::move(action)) {}

DialogAutomation::DialogAutomation(std::function<bool(HWND)> match,
                                   std::function<void(HWND)> action)
    : thread_([this, match = std::move(match), action = std::move(action)] {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 15000 && !stop_; Sleep(10)) {
          if (HWND dialog = FindOwnDialog(match)) {
            action(dialog);
            done_ = true;
            return;
          }
        }
      }) {}

DialogAutomation::~DialogAutomation() {
  stop_ = true;
  thread_.join();
}

MessageBoxAnswerer::MessageBoxAnswerer() : thread_([this] { Watch(); }) {}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  stop_ = true;
  thread_.join();
}

void MessageBoxAnswerer::Watch() {
  while (!stop_) {
    if (HWND found = FindOwnDialog(IsMessageBox)) {
      HWND text = GetDlgItem(found, kMessageBoxTextId);
      const auto [face, fits] = FontAndFit(text);
      Box box = {WindowText(found), WindowText(text), GetWindow(found, GW_OWNER), face, fits};
      // Press OK the way a user does; the box ends its own modal loop.
      SendMessageW(found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      // Wait for it to go before looking for the next one.
      for (int i = 0; i < 200 && IsWindow(found) && IsWindowVisible(found); ++i) {
        Sleep(5);
      }
      std::lock_guard<std::mutex> lock(mutex_);
      boxes_.push_back(box);
    }
    Sleep(10);
  }
}

bool MessageBoxAnswerer::WaitFor(size_t count, DWORD timeout_ms) {
  return PumpUntil(
      [&] {
        std::lock_guard<std::mutex> lock(mutex_);
        return boxes_.size() >= count;
      },
      timeout_ms);
}

std::vector<MessageBoxAnswerer::Box> MessageBoxAnswerer::boxes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

}  // namespace kowaki::test
