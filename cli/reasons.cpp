#include "cli/reasons.h"

#include <cerrno>
#include <cstring>

#include "cli/text_output.h"
#include "jobs/format_text.h"
#include "jobs/texts.h"

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

std::string LoadErrorText(const ArchiveLoadError& error) {
  using Cause = ArchiveLoadError::Cause;
  const auto value = static_cast<unsigned long long>(error.value);
  switch (error.cause) {
    case Cause::kCannotOpen:
      if (error.system_error == ENOENT) return "there is no such file";
      return WithSystemError("it cannot be opened", error.system_error);
    case Cause::kFolder:
      return "it is a folder";
    case Cause::kNotAFile:
      return "it is a pipe, terminal or other device, not a file";
    case Cause::kTooShort:
      return "it is too short for an archive's 16-byte header";
    case Cause::kVersion:
      return FormatText("its version is %llu (1 expected)", value);
    case Cause::kHeaderWordTop:
      return FormatText("the header word's top byte is %llu (0 expected)", value);
    case Cause::kTooManyEntries:
      return FormatText("it claims %llu entries (at most 1,048,576)", value);
    case Cause::kTableOffset:
      return FormatText("its table offset is %llu (16 expected)", value);
    case Cause::kShortTable:
      return FormatText("it is shorter than its index (%llu bytes, %llu needed)", value,
                        static_cast<unsigned long long>(error.needed));
    case Cause::kNameUnended:
      return FormatText("the name of entry %llu has no terminating zero", value);
    case Cause::kReadError:
      return WithSystemError("it cannot be read", error.system_error);
    case Cause::kNoMemory:
      return "there is not enough memory for its index";
    case Cause::kNone:
      break;
  }
  return "it cannot be loaded";
}

std::string CannotLoadText(const std::string& path, const ArchiveLoadError& error) {
  return FormatText(texts::kCannotOpenArchive, PathForDisplay(path).c_str()) + "\n(" +
         LoadErrorText(error) + ")";
}

}  // namespace kowaki::cli
