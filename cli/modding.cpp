#include "cli/modding.h"

#include <cstdio>

#include "cli/reasons.h"
#include "cli/text_output.h"
#include "jobs/format_text.h"

namespace kowaki::cli {

LoadedArchive LoadArchiveArgument(const std::string& path) {
  ArchiveLoadError error;
  LoadedArchive index(LoadArchiveIndex(path.c_str(), &error));
  if (!index) PrintText(stderr, CannotLoadText(path, error) + "\n");
  return index;
}

std::string CheckText(const EntryCheck& check) {
  std::string text;
  const auto add = [&](uint8_t problem, const std::string& words) {
    if (check.problems & problem) text += (text.empty() ? "" : ", ") + words;
  };
  add(EntryCheck::kNotVorbis, "not Ogg Vorbis");
  add(EntryCheck::kDamaged, FormatText("damaged pages (%d)", check.damage));
  add(EntryCheck::kCutShort, "cut short: the data ends before the stream does");
  add(EntryCheck::kLengthDiffers,
      FormatText("decodes to %lld sample frames, its last page gives %lld",
                 static_cast<long long>(check.decoded), static_cast<long long>(check.expected)));
  EntryOutcome read_failure;
  read_failure.problem = EntryProblem::kReadFailed;
  read_failure.system_error = check.system_error;
  add(EntryCheck::kReadFailed, ProblemText(read_failure));
  add(EntryCheck::kArchiveChanged, "the file was changed while it was read");
  return text;
}

bool CheckClip(const std::string& path, std::string* error) {
  ArchiveLoadError why;
  LoadedArchive file(LoadFileAsEntry(path.c_str(), &why));
  if (!file) {
    *error = PathForDisplay(path) + ": " + LoadErrorText(why);
    return false;
  }
  const EntryCheck check = CheckEntry(file.get(), 0);
  if (check.ok()) return true;
  *error = PathForDisplay(path) + ": " + CheckText(check) + " (--force takes it all the same)";
  return false;
}

}  // namespace kowaki::cli
