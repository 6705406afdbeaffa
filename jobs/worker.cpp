#include <system_error>

#include "jobs/app_state.h"

namespace kowaki {

bool StartWorker(AppState* state, JobProcedure job) {
  state->worker_done = 0;
  state->running = 1;
  // std::thread reports a thread it cannot make only by throwing.
  try {
    state->thread = std::thread([state, job = std::move(job)] {
      job(state);
      state->worker_done = 1;
    });
  } catch (const std::system_error&) {
    state->running = 0;
    state->worker_done = 1;
    return false;
  }
  return true;
}

bool WorkerEnded(const AppState& state) { return state.worker_done.load() != 0; }

int32_t JobThreads(const AppState& state) {
  if (state.threads > 0) return state.threads;
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? static_cast<int32_t>(hardware) : 1;
}

void JoinWorker(AppState* state) {
  if (state->thread.joinable()) state->thread.join();
}

}  // namespace kowaki
