#pragma once
// kowaki-cli's commands. Each takes the arguments after its own name and
// returns the process exit code.

#include <span>

namespace kowaki::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitIncomplete = 1,  // ran, but some items failed or were left out
  kExitError = 2,       // bad arguments or unusable input; nothing done
  kExitInterrupted = 130,
};

using Arguments = std::span<char* const>;

// The most threads -j may ask for.
inline constexpr long long kMaxJobs = 256;

int RunIndex(Arguments args);
int RunPack(Arguments args);
int RunConvert(Arguments args);
int RunList(Arguments args);
int RunExport(Arguments args);
int RunPlay(Arguments args);
int RunSettings(Arguments args);
int RunUnpack(Arguments args);
int RunReplace(Arguments args);
int RunVerify(Arguments args);
int RunStatus(Arguments args);
// A full-screen terminal browser; on Windows it says the window serves.
int RunBrowse(Arguments args);

}  // namespace kowaki::cli
