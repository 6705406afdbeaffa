#include <windows.h>

#include "cli/terminal/interrupt.h"
#include "common/temp_files.h"

namespace kowaki::cli {

namespace {

std::atomic<std::atomic<int32_t>*> g_running{nullptr};
std::atomic<int32_t> g_interrupted{0};
std::atomic<void (*)()> g_restore{nullptr};

// Runs on a thread of its own, which the system starts for each event.
BOOL WINAPI OnConsoleControl(DWORD type) {
  std::atomic<int32_t>* running = g_running.load();
  if (type == CTRL_C_EVENT && running && !g_interrupted.exchange(1)) {
    running->store(0);
    return TRUE;
  }
  // The next handler is the system's, which ends the process.
  if (void (*restore)() = g_restore.load()) restore();
  RemoveTemporaryFiles();
  return FALSE;
}

}  // namespace

void InstallInterruptHandler(std::atomic<int32_t>* running) {
  g_running = running;
  g_interrupted = 0;
  static const bool installed = SetConsoleCtrlHandler(OnConsoleControl, TRUE) != FALSE;
  (void)installed;
}

bool Interrupted() { return g_interrupted.load() != 0; }

void SetEndingCleanup(void (*restore)()) { g_restore = restore; }

}  // namespace kowaki::cli
