#pragma once
// What the modders' commands ask of the file system beyond writing files
// (common/output_file.h): the names in a work folder, paths within it, and
// a second name for a file that is to be kept.

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace kowaki {

// `file` (a manifest's relative path, '/' between folders) inside `folder`.
std::string PathInFolder(std::string_view folder, std::string_view file);

namespace platform {
// The names (UTF-8) of what `folder` holds directly, folders left out.
Result<std::vector<std::string>> FileNamesIn(const std::string& folder);
// Gives the file at `from` the second name `to`, which must not exist;
// false where the file system makes no such links.
bool HardLink(const std::string& from, const std::string& to);
// Whether this system's file names differ only in case at most: such
// names are the same file.
bool NamesIgnoreCase();
}  // namespace platform

}  // namespace kowaki
