#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include "common/temp_files.h"

namespace kowaki::platform {

namespace {
thread_local sigset_t g_held;
}  // namespace

void HoldSignals() {
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &g_held);
}

void ReleaseSignals() { pthread_sigmask(SIG_SETMASK, &g_held, nullptr); }

void RemoveFileNow(const char* path) { unlink(path); }

void PauseBriefly() {
  const timespec millisecond = {0, 1000000};
  nanosleep(&millisecond, nullptr);
}

}  // namespace kowaki::platform
