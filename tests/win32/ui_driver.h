#pragma once
// Helpers for driving real windows from tests, under Windows or Wine.

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kowaki::test {

// Answers every message box of this process with OK from a thread of its
// own, remembering what each said. A message box is a dialog with the
// system's text control, id 0xFFFF.
class MessageBoxAnswerer {
 public:
  struct Box {
    std::string caption;  // UTF-8
    std::string text;
    HWND owner;
    std::wstring face;  // the text's font
    bool fits;          // the text, in that font, within its control
  };

  MessageBoxAnswerer();
  ~MessageBoxAnswerer();
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

  // Waits until `count` boxes have been answered, dispatching the calling
  // thread's messages meanwhile. False after `timeout_ms`.
  bool WaitFor(size_t count, DWORD timeout_ms = 10000);
  std::vector<Box> boxes();

 private:
  void Watch();

  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Box> boxes_;
  std::thread thread_;
};

// Waits on a thread of its own for a dialog of this process with the
// caption `caption` (UTF-8), or one for which `match` holds, then runs
// `action` on it there, the way a user would answer it while the window's
// thread is inside the dialog.
class DialogAutomation {
 public:
  DialogAutomation(std::string caption, std::function<void(HWND)> action);
  DialogAutomation(std::function<bool(HWND)> match, std::function<void(HWND)> action);
  ~DialogAutomation();
  DialogAutomation(const DialogAutomation&) = delete;
  DialogAutomation& operator=(const DialogAutomation&) = delete;

  bool done() const { return done_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

// The first visible dialog of this process for which `match` holds, or null.
HWND FindOwnDialog(const std::function<bool(HWND)>& match);
// A visible dialog of this process with this caption (UTF-8), or null.
HWND FindDialog(std::string_view caption);

// Dispatches the calling thread's messages until `done` is true or the time
// runs out; returns `done()`.
template <typename Predicate>
bool PumpUntil(Predicate done, DWORD timeout_ms = 10000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeout_ms) return done();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

// A window's text in UTF-8, read through the wide interface.
std::string WindowText(HWND window);
std::string Utf8(const wchar_t* wide);
std::wstring Wide(const std::string& utf8);

}  // namespace kowaki::test
