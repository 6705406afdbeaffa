#pragma once
// What became of an entry a job took up, and why when it went wrong. The
// window's messages only count failures; the terminal names each one.

#include <cstdint>
#include <optional>
#include <string>

#include "jobs/entry_problem.h"

namespace kowaki {

// An entry brought to a loudness: what it measured and the gain it got.
struct EntryLoudness {
  double integrated = 0;  // LUFS; -infinity for silence
  double true_peak = 0;   // dBTP
  double gain = 0;        // dB
  bool limited = false;   // the true-peak ceiling kept the gain lower
};

struct EntryOutcome {
  int32_t entry = -1;
  bool ok = false;
  EntryProblem problem = EntryProblem::kNone;
  int system_error = 0;  // of a read, open or write that failed
  std::string path;      // the file it went to, when it has one
  uint64_t bytes = 0;    // what it put there: a copy's bytes, a WAV entry's audio data
  std::optional<EntryLoudness> loudness;  // an export with a loudness target
};

// Why it went wrong, in words.
inline std::string ProblemText(const EntryOutcome& outcome) {
  return ProblemText(outcome.problem, {.system_error = outcome.system_error});
}

}  // namespace kowaki
