#pragma once
// Opening a file given on the command line for reading, without being
// stuck on what is no file: opening a FIFO waits for a writer, reading one
// for its data.

#include <cstdio>
#include <string>

namespace kowaki::cli::platform {

// The regular file or device at `path`, opened for binary reads. Null with
// the reason in `error` when it cannot be opened or is something else (a
// folder, a FIFO, a socket).
std::FILE* OpenInputFile(const std::string& path, std::string* error);

}  // namespace kowaki::cli::platform
