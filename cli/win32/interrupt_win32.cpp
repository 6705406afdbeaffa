#include <windows.h>

#include "cli/interrupt.h"

namespace kowaki::cli {

namespace {
std::atomic<int32_t>* g_running = nullptr;
std::atomic<int32_t> g_interrupted{0};

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  // A second Ctrl-C falls through to the default handler, which ends us.
  if (g_interrupted.exchange(1)) return FALSE;
  if (g_running) g_running->store(0);
  return TRUE;
}
}  // namespace

void InstallInterruptHandler(std::atomic<int32_t>* running) {
  g_running = running;
  g_interrupted = 0;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool Interrupted() { return g_interrupted.load() != 0; }

}  // namespace kowaki::cli
