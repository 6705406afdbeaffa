#pragma once
// Why an entry failed, in words for the terminal.

#include <string>

#include "jobs/entry_outcome.h"

namespace kowaki::cli {

std::string ProblemText(const EntryOutcome& outcome);

}  // namespace kowaki::cli
