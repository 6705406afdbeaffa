#pragma once
// kowaki-cli pack -o ARCHIVE --from DIR [--force]: an archive built again
// from what unpack left in DIR.

#include <string>

namespace kowaki::cli {

// An exit code, after saying what was done.
int PackFromManifest(const std::string& folder, const std::string& output, bool force);

}  // namespace kowaki::cli
