#include "cli/commands/modding.h"

#include "cli/output/reasons.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "text/catalogue.h"

namespace kowaki::cli {

LoadedArchive LoadArchiveArgument(const std::string& path) {
  ArchiveLoadError error;
  LoadedArchive index(LoadArchiveIndex(path.c_str(), &error));
  if (!index) Complain(CannotLoadText(path, error));
  return index;
}

std::string EntryLabel(size_t i, std::string_view name) {
  return Say(Text::kEntryLabel, static_cast<long long>(i), Cp932ToUtf8(name));
}

std::string BeingWrittenText(const std::string& path) {
  return Say(Text::kBeingWritten, PathForDisplay(path));
}

std::string RearrangedText() { return Say(Text::kRearranged); }

std::string CheckText(const EntryCheck& check) {
  std::string text;
  for (const EntryProblem problem : check.problems.Listed()) {
    if (!text.empty()) text += Say(Text::kListSeparator);
    text += ProblemText(problem, check.facts);
  }
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
  *error = PathForDisplay(path) + ": " + CheckText(check) + Say(Text::kForceTakesIt);
  return false;
}

}  // namespace kowaki::cli
