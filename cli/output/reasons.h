#pragma once
// Why an archive could not be loaded, in words for the terminal. (Why an
// entry failed is the jobs' own: jobs/entry_problem.h.)

#include <string>

#include "archive/archive_index.h"
#include "common/result.h"

namespace kowaki::cli {

// For the modders' commands, whose steps still say why through `error`:
// whether `result` succeeded, its failure's words in `error` when not.
template <class T>
bool Succeeded(const Result<T>& result, std::string* error) {
  if (!result) *error = result.failure().text;
  return static_cast<bool>(result);
}

// Why an archive could not be loaded.
std::string LoadErrorText(const ArchiveLoadError& error);
// The window's sentence for an archive that cannot be loaded, then why.
std::string CannotLoadText(const std::string& path, const ArchiveLoadError& error);

}  // namespace kowaki::cli
