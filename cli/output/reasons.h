#pragma once
// Why an archive could not be loaded, in words for the terminal. (Why an
// entry failed is the jobs' own: jobs/entry_problem.h.)

#include <string>

#include "archive/archive_index.h"

namespace kowaki::cli {

// Why an archive could not be loaded.
std::string LoadErrorText(const ArchiveLoadError& error);
// The window's sentence for an archive that cannot be loaded, then why.
std::string CannotLoadText(const std::string& path, const ArchiveLoadError& error);

}  // namespace kowaki::cli
