#pragma once
// How our temporaries are named, and the removal of those that a killed
// run (kill -9, a crash, a power cut) had no chance to remove.
//
// The temporary of a file NAME is ".NAME.kowaki-PID-XXXXXX.tmp" beside
// it: PID the writing process in decimal, XXXXXX six letters or digits.
// The first time a process writes into a folder it removes those there
// that are ordinary files, not written to for kLeftoverSeconds, whose
// process is gone: no process has the PID, or the one that has it
// started after the file was last written, so that a reused PID does not
// keep a leftover for ever. The wait spares the temporaries of processes
// this system cannot see (another machine or PID namespace writing into
// a shared folder). Anything else, and every temporary of ours, is left.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kowaki {

inline constexpr int64_t kLeftoverSeconds = 600;

// A fresh name for a temporary of the file named `file_name` (no folder).
std::string TemporaryName(std::string_view file_name);
// The process that made the temporary named `name`; none when the name is
// not one of ours.
std::optional<uint32_t> TemporaryOwner(std::string_view name);
// Removes the leftovers in `folder`, the first time this process asks.
void RemoveLeftovers(const std::string& folder);

namespace platform {
uint32_t ProcessId();
// The folder `path` is in ("." for a bare name).
std::string FolderOf(const std::string& path);
// Calls `visit` with the name of each entry in `folder`.
void ForEachName(const std::string& folder, const std::function<void(const std::string&)>& visit);
// Removes `name` in `folder` when it is a leftover of process `pid`, as
// the rule above says.
void RemoveIfLeftover(const std::string& folder, const std::string& name, uint32_t pid);
}  // namespace platform

}  // namespace kowaki
