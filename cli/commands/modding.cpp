#include "cli/commands/modding.h"

#include "cli/output/reasons.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki::cli {

ArchiveIndexPtr LoadArchiveArgument(const std::string& path) {
  ArchiveLoad loaded = LoadArchiveIndex(path.c_str());
  if (!loaded) Complain(CannotLoadText(path, loaded.failure()));
  return std::move(loaded).value_or(nullptr);
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
  const ArchiveLoad file = LoadFileAsEntry(path.c_str());
  if (!file) {
    *error = PathForDisplay(path) + ": " + LoadErrorText(file.failure());
    return false;
  }
  const EntryCheck check = CheckEntry(file->get(), 0);
  if (check.ok()) return true;
  // A file of no Ogg data may well be audio (a WAV recording): what it is
  // not is Ogg Vorbis.
  const std::string why = check.problems.Has(EntryProblem::kNotAudio)
                              ? ProblemText(EntryProblem::kNotVorbis)
                              : CheckText(check);
  *error = PathForDisplay(path) + ": " + why + Say(Text::kForceTakesIt);
  return false;
}

}  // namespace kowaki::cli
