#pragma once
// Reading a small text file of another program's (a registry file, a
// library list, a game's configuration) without being stalled or flooded.

#include <string>

namespace kowaki {

enum class FileRead { kRead, kMissing, kRefused };

// The whole of the regular file at `path`. Anything else is refused, as is
// a file too large to be one we read: a FIFO would block for ever, a device
// might never end.
FileRead ReadSmallFile(const std::string& path, std::string* text);

}  // namespace kowaki
