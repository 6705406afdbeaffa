#pragma once
// The file a command replaces kept beside it: `replace` and `pack -o` onto
// an existing archive leave the previous one as NAME.bak, or NAME.bak.N
// for the first N from 1 whose name is free, so no backup is ever
// replaced and the highest number is the newest.

#include <optional>
#include <string>

#include "common/result.h"

namespace kowaki {

// The ordinary file that writing to `path` replaces: `path` itself, or
// where its links lead. None when there is no file there, or `path` names
// a stream (-, a device, one of our descriptors).
std::optional<std::string> ReplacedFile(const std::string& path);

// The name the file at `file` would be kept under now.
std::string BackupName(const std::string& file);

// Keeps the file at `file` under BackupName(file): a second name for the
// same file where the file system makes one, else a copy. The name it
// took, or why not.
Result<std::string> KeepBackup(const std::string& file);

}  // namespace kowaki
