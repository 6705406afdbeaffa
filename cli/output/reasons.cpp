#include "cli/output/reasons.h"

#include <cerrno>
#include <cstring>

#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

// The system's own words for an error, when it gave one.
std::string WithSystemError(std::string text, int system_error) {
  if (system_error != 0) text += std::string(": ") + std::strerror(system_error);
  return text;
}

}  // namespace

std::string ProblemText(const EntryOutcome& outcome) {
  return ProblemText(outcome.problem, outcome.system_error);
}

std::string ProblemText(EntryProblem problem, int system_error) {
  switch (problem) {
    case EntryProblem::kArchiveChanged:
      return Say(Text::kProblemArchiveChanged);
    case EntryProblem::kCutShort:
      return Say(Text::kProblemCutShort);
    case EntryProblem::kNotVorbis:
      return Say(Text::kProblemNotVorbis);
    case EntryProblem::kReadFailed:
      return WithSystemError(Say(Text::kProblemReadFailed), system_error);
    case EntryProblem::kCannotConvert:
      return Say(Text::kProblemCannotConvert);
    case EntryProblem::kTooLarge:
      return Say(Text::kProblemTooLarge);
    case EntryProblem::kCannotOpenOutput:
      return WithSystemError(Say(Text::kProblemCannotOpenOutput), system_error);
    case EntryProblem::kWriteFailed:
      return WithSystemError(Say(Text::kProblemWriteFailed), system_error);
    case EntryProblem::kKept:
      return Say(Text::kProblemExists);
    case EntryProblem::kNoPlayer:
      return Say(Text::kProblemNoPlayer);
    case EntryProblem::kNone:
      break;
  }
  return Say(Text::kProblemFailed);
}

const char* ProblemId(EntryProblem problem) {
  switch (problem) {
    case EntryProblem::kArchiveChanged:
      return "archive_changed";
    case EntryProblem::kCutShort:
      return "cut_short";
    case EntryProblem::kNotVorbis:
      return "not_vorbis";
    case EntryProblem::kReadFailed:
      return "read_failed";
    case EntryProblem::kCannotConvert:
      return "cannot_convert";
    case EntryProblem::kTooLarge:
      return "too_large";
    case EntryProblem::kCannotOpenOutput:
      return "cannot_open_output";
    case EntryProblem::kWriteFailed:
      return "write_failed";
    case EntryProblem::kKept:
      return "exists";
    case EntryProblem::kNoPlayer:
      return "no_player";
    case EntryProblem::kNone:
      break;
  }
  return "none";
}

std::string LoadErrorText(const ArchiveLoadError& error) {
  using Cause = ArchiveLoadError::Cause;
  const auto value = static_cast<unsigned long long>(error.value);
  switch (error.cause) {
    case Cause::kCannotOpen:
      if (error.system_error == ENOENT) return Say(Text::kLoadNoSuchFile);
      return WithSystemError(Say(Text::kLoadCannotOpen), error.system_error);
    case Cause::kFolder:
      return Say(Text::kLoadFolder);
    case Cause::kNotAFile:
      return Say(Text::kLoadNotAFile);
    case Cause::kTooShort:
      return Say(Text::kLoadTooShort);
    case Cause::kVersion:
      return Say(Text::kLoadVersion, value);
    case Cause::kHeaderWordTop:
      return Say(Text::kLoadHeaderWordTop, value);
    case Cause::kTooManyEntries:
      return Say(Text::kLoadTooManyEntries, value);
    case Cause::kTableOffset:
      return Say(Text::kLoadTableOffset, value);
    case Cause::kShortTable:
      return Say(Text::kLoadShortTable, value, static_cast<unsigned long long>(error.needed));
    case Cause::kNameUnended:
      return Say(Text::kLoadNameUnended, value);
    case Cause::kReadError:
      return WithSystemError(Say(Text::kLoadReadError), error.system_error);
    case Cause::kNoMemory:
      return Say(Text::kLoadNoMemory);
    case Cause::kNone:
      break;
  }
  return Say(Text::kLoadFailed);
}

std::string CannotLoadText(const std::string& path, const ArchiveLoadError& error) {
  return Say(Text::kCannotOpenArchive, PathForDisplay(path)) + "\n(" + LoadErrorText(error) + ")";
}

}  // namespace kowaki::cli
