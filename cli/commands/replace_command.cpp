// kowaki-cli replace ARCHIVE ENTRY FILE [ENTRY FILE...] [--force]: the
// entries ENTRY names take FILE's bytes; every other entry keeps its
// bytes, name and place. The new archive is written beside the old one
// and renamed over it, so a failure leaves the old one as it was.

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/commands/entry_selection.h"
#include "cli/commands/modding.h"
#include "cli/output/reasons.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "common/output_file.h"
#include "modding/manifest.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki::cli {

namespace {

int Fail(const std::string& message) {
  Complain(message);
  return kExitError;
}

// For each entry, the file that replaces it (empty: none); false with why
// for an ENTRY that names none, or an entry two of them name.
bool MatchEntries(const ArchiveIndex& index, const std::vector<std::string>& pairs,
                  std::vector<std::string>* files, std::string* error) {
  files->assign(static_cast<size_t>(index.count), {});
  for (size_t p = 1; p + 1 < pairs.size(); p += 2) {
    const EntryArgument argument(pairs[p]);
    bool found = false;
    for (int32_t i = 0; i < index.count; ++i) {
      if (!argument.Names(i, EntryName(index.entries[i]))) continue;
      std::string& file = (*files)[static_cast<size_t>(i)];
      if (!file.empty() && file != pairs[p + 1]) {
        *error = Say(Text::kEntryNamedTwice, i);
        return false;
      }
      file = pairs[p + 1];
      found = true;
    }
    if (!found) {
      *error = Say(Text::kNamesNoEntry, argument.text());
      return false;
    }
  }
  return true;
}

// The new archive's entries: the old ones, each replaced one from its file.
bool AddEntries(const ArchiveIndex& index, const std::vector<std::string>& files, bool force,
                ArchiveWriter* writer, int32_t* replaced, std::string* error) {
  std::map<std::string, bool> checked;
  if (!Succeeded(writer->set_header_word(index.header_word), error)) return false;
  for (int32_t i = 0; i < index.count; ++i) {
    const NameField name = NameFieldOf(index.entries[i]);
    const std::string& file = files[static_cast<size_t>(i)];
    if (file.empty()) {
      if (!Succeeded(writer->AddEntry(name, &index, i), error)) return false;
      continue;
    }
    if (!force && !checked.contains(file) && !CheckClip(file, error)) return false;
    checked[file] = true;
    if (!Succeeded(writer->AddFile(name, file), error))
      return *error = PathForDisplay(file) + ": " + *error, false;
    ++*replaced;
  }
  return true;
}

}  // namespace

int RunReplace(Arguments args) {
  ParsedArgs parsed;
  std::string error;
  const std::vector<std::string>& pairs = parsed.positional();
  if (!Succeeded(parsed.Parse(args, {}, {"force"}), &error) || pairs.size() < 3 ||
      pairs.size() % 2 == 0) {
    return BadArguments("replace", error.empty() ? Say(Text::kArgGiveArchiveAndPairs) : error);
  }
  const std::string& path = pairs[0];
  // Before the archive is opened: on Windows our own open archive would
  // read as a file another program holds, which cannot be replaced.
  OutputFile out;
  if (!Succeeded(out.Open(path, OutputPlace::kNamed), &error)) return Fail(error);
  ArchiveIndexPtr index = LoadArchiveArgument(path);
  if (!index) return kExitError;
  std::vector<std::string> files;
  ArchiveWriter writer;
  int32_t replaced = 0;
  if (!MatchEntries(*index, pairs, &files, &error) ||
      !AddEntries(*index, files, parsed.Has("force"), &writer, &replaced, &error) ||
      !Succeeded(writer.WriteInto(out), &error)) {
    return Fail(error);
  }
  const bool contiguous = EntriesContiguous(*index);
  // Some systems rename nothing over a file that is still open.
  index.reset();
  if (!Succeeded(out.Commit(), &error)) return Fail(error);
  std::string report =
      Say(Text::kReplaced, replaced, static_cast<int>(files.size()), PathForDisplay(path)) + "\n";
  if (!contiguous) report += RearrangedText() + "\n";
  PrintText(stdout, report);
  return kExitOk;
}

}  // namespace kowaki::cli
