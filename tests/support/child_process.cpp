#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace kowaki::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& out_file) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  int pipe_ends[2] = {-1, -1};
  if (out_file.empty() && pipe(pipe_ends) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    // Only async-signal-safe calls between fork and exec.
    const int out = out_file.empty() ? pipe_ends[1]
                                     : open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    dup2(out, STDOUT_FILENO);
    if (pipe_ends[0] >= 0) close(pipe_ends[0]);
    const rlimit no_core = {0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    execv(args[0], args.data());
    _exit(127);
  }
  if (pipe_ends[1] >= 0) close(pipe_ends[1]);
  out_ = pipe_ends[0];
}

ChildProcess::~ChildProcess() {
  if (out_ >= 0) close(out_);
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    Wait();
  }
}

std::string ChildProcess::ReadOutput() {
  std::string output;
  char buffer[1 << 16];
  ssize_t n;
  while (out_ >= 0 && (n = read(out_, buffer, sizeof buffer)) > 0) {
    output.append(buffer, static_cast<size_t>(n));
  }
  return output;
}

void ChildProcess::Signal(int signal_number) const {
  if (pid_ > 0) kill(pid_, signal_number);
}

void ChildProcess::WaitUntilTaken(int signal_number) const {
  const std::string status = "/proc/" + std::to_string(pid_) + "/status";
  const unsigned long long bit = 1ull << (signal_number - 1);
  for (int i = 0; i < 100000; ++i) {
    std::ifstream in(status);
    if (!in) break;
    bool pending = false;
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with("SigPnd:") || line.starts_with("ShdPnd:")) {
        pending = pending || (std::stoull(line.substr(7), nullptr, 16) & bit) != 0;
      }
    }
    if (!pending) return;
    std::this_thread::sleep_for(std::chrono::microseconds(20));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void ChildProcess::WaitForThreads(int count) const {
  const std::string status = "/proc/" + std::to_string(pid_) + "/status";
  for (int i = 0; i < 100000; ++i) {
    std::ifstream in(status);
    if (!in) break;
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with("Threads:") && std::stoi(line.substr(8)) >= count) return;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

int ChildProcess::Wait() {
  int status = -1;
  if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) pid_ = -1;
  return status;
}

int RunChild(const std::vector<std::string>& argv, std::string* output) {
  ChildProcess child(argv);
  const std::string read = child.ReadOutput();
  if (output) *output = read;
  return child.Wait();
}

}  // namespace kowaki::test
