#pragma once
// Why something failed, in words for the terminal.

#include <string>

#include "archive/archive_index.h"
#include "common/result.h"
#include "jobs/entry_outcome.h"

namespace kowaki::cli {

// For the commands' own steps that say why through `error`: whether
// `result` succeeded, its failure's words in `error` when not.
bool Succeeded(const Result<>& result, std::string* error);

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
