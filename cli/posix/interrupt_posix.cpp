#include <signal.h>

#include "cli/interrupt.h"

namespace kowaki::cli {

namespace {
std::atomic<int32_t>* g_running = nullptr;
volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int signal_number) {
  g_interrupted = 1;
  if (g_running) g_running->store(0);
  // The next interrupt is not ours to soften.
  ::signal(signal_number, SIG_DFL);
}
}  // namespace

void InstallInterruptHandler(std::atomic<int32_t>* running) {
  g_running = running;
  g_interrupted = 0;
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return g_interrupted != 0; }

}  // namespace kowaki::cli
