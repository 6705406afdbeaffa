#pragma once
// What became of an entry a job took up, and why when it went wrong. The
// window's messages only count failures; the terminal names each one.

#include <cstdint>
#include <string>

#include "jobs/entry_problem.h"

namespace kowaki {

struct EntryOutcome {
  int32_t entry = -1;
  bool ok = false;
  EntryProblem problem = EntryProblem::kNone;
  int system_error = 0;  // of a read, open or write that failed
  std::string path;      // the file it went to, when it has one
  uint64_t bytes = 0;    // what it put there: a copy's bytes, a WAV entry's audio data
};

// Why it went wrong, in words.
inline std::string ProblemText(const EntryOutcome& outcome) {
  return ProblemText(outcome.problem, {.system_error = outcome.system_error});
}

}  // namespace kowaki
