#pragma once
// The temporary files of this process, for a signal or console event that
// ends it: RemoveTemporaryFiles removes them all first, with nothing but
// async-signal-safe calls on paths kept in fixed storage. OutputFile
// enters each temporary while it exists.

namespace kowaki {

// Held by a thread while it creates a temporary and enters it, the one
// moment a temporary exists that the table does not name. On POSIX the
// thread's signals wait meanwhile; a removal on another thread waits for
// the scope to end, and after a removal began no scope is allowed.
class TempCreation {
 public:
  TempCreation();
  ~TempCreation();
  TempCreation(const TempCreation&) = delete;
  TempCreation& operator=(const TempCreation&) = delete;

  // False once the process is ending: create nothing.
  bool allowed() const { return allowed_; }

 private:
  bool allowed_;
};

// Enters `path`, inside a TempCreation; the slot to leave it with, or -1
// when the path is too long or the table full.
int EnterTemporary(const char* path);
// After the temporary was renamed or removed.
void LeaveTemporary(int slot);

// Removes every temporary entered and not left, waiting for creations
// under way; async-signal-safe. Meant for a process about to end.
void RemoveTemporaryFiles();

namespace platform {
// Holds back the calling thread's catchable signals, and lets them in
// again as they were.
void HoldSignals();
void ReleaseSignals();
// Removes a file with the system's plain call; async-signal-safe.
void RemoveFileNow(const char* path);
// Sleeps a millisecond; async-signal-safe.
void PauseBriefly();
}  // namespace platform

}  // namespace kowaki
