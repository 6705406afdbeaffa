#pragma once
// Opening a file given on the command line for reading, without being
// stuck on what is no file: opening a FIFO waits for a writer, reading one
// for its data.

#include <cstdio>
#include <memory>
#include <string>

#include "common/result.h"

namespace kowaki::cli::platform {

struct InputFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using InputFilePtr = std::unique_ptr<std::FILE, InputFileCloser>;

// The regular file or device at `path`, opened for binary reads. Fails
// when it cannot be opened or is something else (a folder, a FIFO, a
// socket).
Result<InputFilePtr> OpenInputFile(const std::string& path);

}  // namespace kowaki::cli::platform
