#pragma once
// Which rows the ENTRY arguments of `export` and `play` name: a name as
// `list` shows it, a shell-style pattern (* ? [a-z] [!x]) or #N for entry
// number N; and whether the first argument is the archive instead.

#include <string>
#include <vector>

#include "jobs/row_list.h"

namespace kowaki::cli {

// Marks the rows `entries` name, every row when there are none; false
// with a message for an entry that names no row.
bool SelectRows(RowList& list, const std::vector<std::string>& entries, std::string* error);

// The first positional argument is the archive when it looks like a path;
// otherwise they are all entries of the game's archive.
bool LooksLikeArchive(const std::string& arg);

}  // namespace kowaki::cli
