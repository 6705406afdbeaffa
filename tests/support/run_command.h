#pragma once
// Runs a kowaki-cli command in the test's process, as the user would from a
// shell, and catches what it prints.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kowaki::test {

struct CommandResult {
  int code;
  std::string out;
  std::string err;
};

template <typename Command>
CommandResult RunCommand(Command command, std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int code = command(argv);
  std::string out = ::testing::internal::GetCapturedStdout();
  return {code, out, ::testing::internal::GetCapturedStderr()};
}

// What `body` writes to standard output while it goes into a pipe, or
// into the file `file` when one is named (read back after).
std::string StandardOutputOf(const std::function<void()>& body, const std::string& file = "");

// Sets an environment variable for the rest of the process; putenv keeps
// the string it is given, so it is kept here.
inline void SetEnvironment(const std::string& name, const std::string& value) {
  static std::map<std::string, std::string> kept;
  std::string& entry = kept[name];
  entry = name + "=" + value;
  putenv(entry.data());
}

}  // namespace kowaki::test
