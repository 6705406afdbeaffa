#pragma once
// Signals and console events. A first Ctrl-C while a job runs is its stop
// button: it clears the run flag the job polls. Every other one (a second
// Ctrl-C, Ctrl-C with no job to stop; on POSIX SIGHUP, SIGTERM, SIGQUIT
// and SIGPIPE; on Windows Ctrl-Break, closing the console, logoff and
// shutdown) removes the temporary files of the outputs being written and
// ends the process as the signal or event would have.

#include <atomic>
#include <cstdint>

namespace kowaki::cli {

// Installs the handlers; `running` is the flag a first Ctrl-C clears
// (null: none).
void InstallInterruptHandler(std::atomic<int32_t>* running);
// True once an interrupt stopped a job since the handler was installed.
bool Interrupted();
// `restore` runs first whenever a signal or event ends the process (null:
// nothing): a full-screen terminal put back as it was. Only
// async-signal-safe calls in it.
void SetEndingCleanup(void (*restore)());

}  // namespace kowaki::cli
