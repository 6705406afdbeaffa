#include "cli/entry_problems.h"

#include <cstring>

namespace kowaki::cli {

namespace {

// The system's own words for an error, when it gave one.
std::string WithSystemError(std::string text, int system_error) {
  if (system_error != 0) text += std::string(": ") + std::strerror(system_error);
  return text;
}

}  // namespace

std::string ProblemText(const EntryOutcome& outcome) {
  switch (outcome.problem) {
    case EntryProblem::kArchiveChanged:
      return "the archive was changed since it was listed";
    case EntryProblem::kCutShort:
      return "cut short: the entry runs past the end of the archive";
    case EntryProblem::kNotVorbis:
      return "not Ogg Vorbis";
    case EntryProblem::kReadFailed:
      return WithSystemError("cannot read the archive", outcome.system_error);
    case EntryProblem::kCannotConvert:
      return "its format cannot be converted to the output's";
    case EntryProblem::kTooLarge:
      return "more audio than a WAV file can hold";
    case EntryProblem::kCannotOpenOutput:
      return WithSystemError("cannot create its file", outcome.system_error);
    case EntryProblem::kWriteFailed:
      return WithSystemError("cannot write", outcome.system_error);
    case EntryProblem::kNone:
      break;
  }
  return "failed";
}

}  // namespace kowaki::cli
