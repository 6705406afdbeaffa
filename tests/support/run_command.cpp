#include "tests/support/run_command.h"

#include <fcntl.h>

#include <cstdio>
#include <thread>

#include "tests/support/files.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kowaki::test {

namespace {

#if defined(_WIN32)
constexpr int kBinary = _O_BINARY;
int MakePipe(int ends[2]) { return _pipe(ends, 1 << 16, kBinary); }
#else
constexpr int kBinary = 0;
int MakePipe(int ends[2]) { return pipe(ends); }
#endif

}  // namespace

std::string StandardOutputOf(const std::function<void()>& body, const std::string& file) {
  std::fflush(stdout);
  const int saved = dup(1);
  int ends[2] = {-1, -1};
  if (file.empty()) {
    EXPECT_EQ(MakePipe(ends), 0);
  } else {
    ends[1] = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | kBinary, 0666);
  }
  dup2(ends[1], 1);
  close(ends[1]);
  std::string piped;
  std::thread reader;
  if (file.empty()) {
    reader = std::thread([&] {
      char buffer[4096];
      for (auto n = read(ends[0], buffer, sizeof buffer); n > 0;
           n = read(ends[0], buffer, sizeof buffer)) {
        piped.append(buffer, static_cast<size_t>(n));
      }
    });
  }
  body();
  dup2(saved, 1);  // the pipe's last writer gone: the reader sees its end
  close(saved);
  if (reader.joinable()) {
    reader.join();
    close(ends[0]);
  }
  return file.empty() ? piped : ReadBytes(file);
}

}  // namespace kowaki::test
