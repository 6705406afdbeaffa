#include "cli/browse/screen.h"

#include <curses.h>
#include <fcntl.h>
#include <langinfo.h>
#include <term.h>
#include <termios.h>
#include <unistd.h>

#include <clocale>
#include <cstring>
#include <string_view>

#include "cli/terminal/interrupt.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

// What a signal handler puts back: the terminal's modes, and the bytes
// that leave the full screen (the terminal's own, read once it is known).
termios g_modes;
char g_leave[512];
size_t g_leave_length = 0;

void AppendLeave(std::string_view bytes) {
  if (g_leave_length + bytes.size() > sizeof g_leave) return;
  std::memcpy(g_leave + g_leave_length, bytes.data(), bytes.size());
  g_leave_length += bytes.size();
}

void AppendCapability(const char* name) {
  const char* value = tigetstr(name);
  if (value && value != reinterpret_cast<const char*>(-1)) AppendLeave(value);
}

// No mouse reports, ordinary attributes and keys, the cursor, the normal screen.
void PrepareLeave() {
  g_leave_length = 0;
  AppendLeave("\x1b[?1006l\x1b[?1002l\x1b[?1000l");
  for (const char* name : {"sgr0", "rmkx", "cnorm", "rmcup"}) AppendCapability(name);
}

// Async-signal-safe: a write and tcsetattr.
void LeaveOnSignal() {
  ssize_t written = write(STDOUT_FILENO, g_leave, g_leave_length);
  static_cast<void>(written);
  tcsetattr(STDIN_FILENO, TCSANOW, &g_modes);
}

// Japanese names need a UTF-8 character type; C.UTF-8 when the user's is another.
void UseUtf8() {
  std::setlocale(LC_CTYPE, "");
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) std::setlocale(LC_CTYPE, "C.UTF-8");
}

}  // namespace

Result<std::unique_ptr<Screen>> Screen::Open() {
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
    return Failure{Say(Text::kBrowseNeedsTerminal)};
  }
  UseUtf8();
  tcgetattr(STDIN_FILENO, &g_modes);
  std::unique_ptr<Screen> screen(new Screen());
  screen->screen_ = newterm(nullptr, stdout, stdin);
  if (!screen->screen_) return Failure{Say(Text::kBrowseNeedsTerminal)};
  PrepareLeave();
  SetEndingCleanup(LeaveOnSignal);
  cbreak();
  noecho();
  keypad(stdscr, TRUE);
  curs_set(0);
  set_escdelay(25);
  mouseinterval(0);
  mousemask(BUTTON4_PRESSED | BUTTON5_PRESSED, nullptr);
  // Another library's complaint (an audio driver's) would land on the screen.
  screen->saved_stderr_ = dup(STDERR_FILENO);
  const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (nowhere >= 0) {
    dup2(nowhere, STDERR_FILENO);
    close(nowhere);
  }
  return screen;
}

Screen::~Screen() {
  endwin();
  SetEndingCleanup(nullptr);
  delscreen(static_cast<SCREEN*>(screen_));
  if (saved_stderr_ >= 0) {
    dup2(saved_stderr_, STDERR_FILENO);
    close(saved_stderr_);
  }
}

Key Screen::Read(int timeout_ms) {
  // ncurses' key codes, and the bytes terminals send for the same keys.
  static constexpr struct {
    int code;
    Key::Kind kind;
  } kKeys[] = {
      {KEY_UP, Key::kUp},
      {KEY_DOWN, Key::kDown},
      {KEY_LEFT, Key::kLeft},
      {KEY_RIGHT, Key::kRight},
      {KEY_PPAGE, Key::kPageUp},
      {KEY_NPAGE, Key::kPageDown},
      {KEY_HOME, Key::kHome},
      {KEY_END, Key::kEnd},
      {KEY_ENTER, Key::kEnter},
      {'\n', Key::kEnter},
      {'\r', Key::kEnter},
      {27, Key::kEscape},
      {KEY_BACKSPACE, Key::kBackspace},
      {127, Key::kBackspace},
      {8, Key::kBackspace},
      {'\t', Key::kTab},
      {KEY_RESIZE, Key::kResize},
  };
  timeout(timeout_ms);
  const int c = getch();
  for (const auto& key : kKeys) {
    if (key.code == c) return {key.kind};
  }
  if (c == KEY_MOUSE) {
    MEVENT event;
    if (getmouse(&event) != OK) return {};
    if (event.bstate & BUTTON4_PRESSED) return {Key::kWheelUp};
    if (event.bstate & BUTTON5_PRESSED) return {Key::kWheelDown};
    return {};
  }
  if (c >= 0 && c < 256) return {Key::kChar, static_cast<char>(c)};
  return {};  // no key in time, or one browse does not take
}

}  // namespace kowaki::cli
