#pragma once
// What the window shares with the worker that runs a job. The window owns
// it; a job gets its address as its only argument. `running` is the one
// word both threads write: 1 from the window just before a job starts, 0
// from the window as a stop request, and 0 from the job as its last act.

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "archive/archive_index.h"
#include "jobs/job_window.h"

namespace kowaki {

struct AppState {
  JobWindow* window = nullptr;
  ArchiveIndexPtr index;  // replaced only while no job runs; jobs read it through get()
  std::thread thread;     // the current or last worker
  std::atomic<int32_t> running{0};
  std::atomic<int32_t> worker_done{1};  // 1 once the worker's procedure returned
  int32_t threads = 0;  // the threads a job may decode on; 0: one per hardware thread
};

using JobProcedure = std::function<void(AppState* state)>;

// Sets `running` and starts `job` on a new worker. An earlier worker must
// have ended (WorkerEnded). False, with `running` cleared again, when no
// thread can be made.
bool StartWorker(AppState* state, JobProcedure job);
// True when no worker was started or the last one's procedure returned; the
// window polls this while it keeps its messages flowing.
bool WorkerEnded(const AppState& state);
// The threads a job decodes on: `threads`, or the machine's hardware threads.
int32_t JobThreads(const AppState& state);
// Waits for the last worker and forgets it. Call once WorkerEnded, or from
// a thread the worker does not need.
void JoinWorker(AppState* state);

}  // namespace kowaki
