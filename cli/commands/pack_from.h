#pragma once
// kowaki-cli pack -o ARCHIVE --from DIR: an archive built again from what
// unpack left in DIR, checked against its manifest first; and what it
// shares with `status`, which tells whether it would.

#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "modding/manifest.h"
#include "modding/work_folder.h"

namespace kowaki::cli {

// Entries added (--add NAME=FILE) and removed (--remove ENTRY, --all for
// one that names several) on purpose.
struct FolderEdits {
  std::vector<std::string> adds;
  std::vector<std::string> removes;
  bool all = false;
};

// The check of `folder` against `manifest` with those edits; fails, saying
// why, for an edit that names no entry or a name already taken.
Result<FolderRequest> RequestFor(const std::string& folder, const Manifest& manifest,
                                 const FolderEdits& edits);

struct PackFromRequest {
  std::string folder;
  std::string output;
  FolderEdits edits;
  std::optional<float> quality;
  bool force = false;
  bool dry_run = false;
  bool keep_backup = true;
  bool verbose = false;
};

// An exit code, after saying what was done.
int PackFromFolder(const PackFromRequest& request);

}  // namespace kowaki::cli
