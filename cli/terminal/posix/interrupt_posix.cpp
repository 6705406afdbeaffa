#include <signal.h>

#include "cli/terminal/interrupt.h"
#include "common/temp_files.h"

namespace kowaki::cli {

namespace {

std::atomic<std::atomic<int32_t>*> g_running{nullptr};
volatile sig_atomic_t g_interrupted = 0;
std::atomic<void (*)()> g_restore{nullptr};

constexpr int kEndingSignals[] = {SIGHUP, SIGTERM, SIGQUIT, SIGPIPE};

// Nothing but async-signal-safe calls in here.
void OnSignal(int signal_number) {
  std::atomic<int32_t>* running = g_running.load();
  if (signal_number == SIGINT && running && !g_interrupted) {
    g_interrupted = 1;
    running->store(0);
    return;
  }
  if (void (*restore)() = g_restore.load()) restore();
  RemoveTemporaryFiles();
  // Ends the process as the signal would have: it is blocked in here, and
  // delivered with its default action once the handler returns.
  ::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

}  // namespace

void InstallInterruptHandler(std::atomic<int32_t>* running) {
  g_running = running;
  g_interrupted = 0;
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  for (const int signal_number : kEndingSignals) sigaction(signal_number, &action, nullptr);
}

bool Interrupted() { return g_interrupted != 0; }

void SetEndingCleanup(void (*restore)()) { g_restore = restore; }

}  // namespace kowaki::cli
