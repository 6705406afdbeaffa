#include "cli/output/reasons.h"

#include <cerrno>

#include "cli/output/text_output.h"
#include "text/catalogue.h"

namespace kowaki::cli {

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
