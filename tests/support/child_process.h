#pragma once
// A program run as a child process, as a shell runs it: its standard
// output into a pipe the test reads or into a file, signals sent when the
// test chooses. POSIX only.

#include <sys/types.h>

#include <string>
#include <vector>

namespace kowaki::test {

class ChildProcess {
 public:
  // Starts `argv` with standard output into `out_file`, or into a pipe
  // when it is empty. Dumps no core.
  explicit ChildProcess(const std::vector<std::string>& argv, const std::string& out_file = "");
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // What it writes to the pipe, up to its end.
  std::string ReadOutput();
  void Signal(int signal_number) const;
  // Waits until the child took a signal sent to it: where /proc tells,
  // until it is no longer pending; elsewhere a few milliseconds.
  void WaitUntilTaken(int signal_number) const;
  // Waits until the child runs `count` threads (a program's worker has
  // started): where /proc tells; elsewhere a few milliseconds.
  void WaitForThreads(int count) const;
  // Its wait status, once it ended.
  int Wait();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

// Runs `argv` to its end: the wait status; `output` (if any) gets what it
// wrote.
int RunChild(const std::vector<std::string>& argv, std::string* output);

}  // namespace kowaki::test
