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
    std::string caption;  // bytes in the ANSI code page
    std::string text;
    HWND owner;
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
// caption `caption` (ANSI bytes), then runs `action` on it there, the way
// a user would answer it while the window's thread is inside the dialog.
class DialogAutomation {
 public:
  DialogAutomation(std::string caption, std::function<void(HWND)> action);
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
// A visible dialog of this process with this caption, or null.
HWND FindDialog(std::string_view caption);

// Dispatches the calling thread's messages until `done` is true or the time
// runs out; returns `done()`.
template <typename Predicate>
bool PumpUntil(Predicate done, DWORD timeout_ms = 10000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeout_ms) return done();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

std::string WindowText(HWND window);

// UTF-8 to the ANSI code page, for comparing with what windows show.
std::string Ansi(const char* utf8);

}  // namespace kowaki::test
