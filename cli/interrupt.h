#pragma once
// Ctrl-C as the stop button: the first interrupt clears the run flag the
// running job polls; a second one ends the process the ordinary way.

#include <atomic>
#include <cstdint>

namespace kowaki::cli {

void InstallInterruptHandler(std::atomic<int32_t>* running);
// True once an interrupt arrived since the handler was installed.
bool Interrupted();

}  // namespace kowaki::cli
