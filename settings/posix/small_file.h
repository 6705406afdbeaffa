#pragma once
// Reading a small text file of another program's (a registry file, a
// library list, a game's configuration) without being stalled or flooded.

#include <string>

#include "common/result.h"

namespace kowaki {

// Why a small file was not read.
enum class SmallFileError { kMissing, kRefused };

// The whole of the regular file at `path`. Anything else is refused, as is
// a file too large to be one we read: a FIFO would block for ever, a device
// might never end.
Result<std::string, SmallFileError> ReadSmallFile(const std::string& path);

}  // namespace kowaki
