#pragma once
// Why something failed, in words for the terminal.

#include <string>

#include "archive/archive_index.h"
#include "jobs/entry_outcome.h"

namespace kowaki::cli {

// Why an entry failed; the system's own words for `system_error` after them.
std::string ProblemText(EntryProblem problem, int system_error = 0);
std::string ProblemText(const EntryOutcome& outcome);
// The same as a word for scripts ("not_vorbis"), in every language.
const char* ProblemId(EntryProblem problem);
// Why an archive could not be loaded.
std::string LoadErrorText(const ArchiveLoadError& error);
// The window's sentence for an archive that cannot be loaded, then why.
std::string CannotLoadText(const std::string& path, const ArchiveLoadError& error);

}  // namespace kowaki::cli
