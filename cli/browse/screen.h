#pragma once
// The terminal as one full screen for as long as a Screen lives (ncurses,
// wide-character build): keys without echo, the mouse wheel, the cursor
// hidden, and stderr kept off the screen. It is put back as it was when
// the Screen goes, and by the signal handlers when a signal ends the
// process; SIGWINCH comes as a key (Key::kResize).

#include <memory>

#include "cli/browse/browse_controller.h"
#include "common/result.h"

namespace kowaki::cli {

class Screen {
 public:
  // Fails when standard input or output is no terminal, or the terminal's
  // type is unknown.
  static Result<std::unique_ptr<Screen>> Open();
  ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  // The next key, or Key::kNone once `timeout_ms` passed without one.
  Key Read(int timeout_ms);

 private:
  Screen() = default;
  void* screen_ = nullptr;  // ncurses' SCREEN
  int saved_stderr_ = -1;   // stderr as it was, while it goes nowhere
};

}  // namespace kowaki::cli
