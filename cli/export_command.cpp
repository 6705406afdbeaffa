// kowaki-cli export [ARCHIVE] (--to DIR | --merge FILE) [--type ogg|wav]
//   [--rate N|source] [--channels 1|2|source] [ENTRY...]
// Lists the archive as the window does, selects the rows the ENTRY
// arguments name (all when none), and runs the export job on them with the
// stored output settings, changed by the options for this run only.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/output_options.h"
#include "cli/terminal_window.h"
#include "cli/text_output.h"
#include "common/output_file.h"
#include "jobs/export_file.h"
#include "jobs/export_job.h"
#include "jobs/output_names.h"
#include "jobs/texts.h"
#include "settings/memory_store.h"
#include "settings/output_settings.h"

namespace kowaki::cli {

namespace {

constexpr char kUsage[] =
    "usage: kowaki-cli export [ARCHIVE] (--to DIR | --merge FILE) [--type ogg|wav]\n"
    "                         [--rate N|source] [--channels 1|2|source] [ENTRY...]\n"
    "  ENTRY: a name, a shell-style pattern (* ? [..]) or #N for entry number N\n";

int Fail(const std::string& message) {
  PrintText(stderr, "kowaki-cli export: " + message + "\n");
  return kExitError;
}

// Matches `c` against the class that starts after '[' at `*p`; moves `*p`
// past its ']'. Nothing when the class does not close.
std::optional<bool> MatchClass(std::string_view pattern, size_t* p, char32_t c) {
  size_t i = *p;
  const bool negate = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negate) ++i;
  bool matched = false;
  bool first = true;
  while (i < pattern.size() && (pattern[i] != ']' || first)) {
    first = false;
    const char32_t low = NextCodePoint(pattern, &i);
    char32_t high = low;
    if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
      ++i;
      high = NextCodePoint(pattern, &i);
    }
    matched = matched || (c >= low && c <= high);
  }
  if (i >= pattern.size()) return std::nullopt;
  *p = i + 1;
  return matched != negate;
}

// Shell-style matching of whole characters: * any run, ? one, [...] a class.
bool Glob(std::string_view pattern, std::string_view text) {
  size_t p = 0, t = 0;
  size_t star_p = std::string_view::npos, star_t = 0;
  while (t < text.size()) {
    size_t next_t = t;
    const char32_t c = NextCodePoint(text, &next_t);
    if (p < pattern.size() && pattern[p] == '*') {
      star_p = ++p;
      star_t = t;
      continue;
    }
    if (p < pattern.size()) {
      size_t next_p = p;
      bool matched;
      if (pattern[p] == '?') {
        ++next_p;
        matched = true;
      } else if (pattern[p] == '[') {
        ++next_p;
        auto in_class = MatchClass(pattern, &next_p, c);
        if (!in_class) {
          next_p = p;
          matched = NextCodePoint(pattern, &next_p) == c;
        } else {
          matched = *in_class;
        }
      } else {
        matched = NextCodePoint(pattern, &next_p) == c;
      }
      if (matched) {
        p = next_p;
        t = next_t;
        continue;
      }
    }
    if (star_p == std::string_view::npos) return false;
    p = star_p;
    NextCodePoint(text, &star_t);
    t = star_t;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// Marks the rows ENTRY names; false with a message for one that names none.
bool Select(RowList& list, const std::vector<std::string>& entries, std::string* error) {
  for (RowList::Row& row : list.rows()) row.selected = entries.empty();
  for (const std::string& entry : entries) {
    bool found = false;
    if (entry.size() > 1 && entry[0] == '#' && entry.find_first_not_of("0123456789", 1) == std::string::npos) {
      const long long number = std::stoll(entry.substr(1));
      for (RowList::Row& row : list.rows()) {
        if (row.entry == number) row.selected = found = true;
      }
    } else {
      // Arguments come in the ANSI code page on Windows; names are matched as text.
      const std::string pattern = PathForDisplay(entry);
      for (RowList::Row& row : list.rows()) {
        if (Glob(pattern, Cp932ToUtf8(row.name))) row.selected = found = true;
      }
    }
    if (!found) {
      *error = "'" + entry + "' names no listed entry (see kowaki-cli list)";
      return false;
    }
  }
  return true;
}

// The first positional argument is the archive when it looks like a path;
// otherwise they are all entries of the game's archive.
bool LooksLikeArchive(const std::string& arg) {
  return arg.find_first_of("/\\") != std::string::npos || arg.ends_with(".arc") ||
         kowaki::platform::KindOfPath(arg) == kowaki::platform::PathKind::kFile;
}

// The stored settings with the options laid over them; the destination
// option says whether the WAV output is merged.
bool RunSettings(const ParsedArgs& parsed, OutputSettings* settings, std::string* error) {
  *settings = LoadOutputSettings(*OpenSettingsStore());
  if (!ApplyOutputOptions(parsed, settings, error)) return false;
  settings->merge = parsed.Has("merge") ? 1 : 0;
  if (parsed.Has("merge")) {
    if (parsed.Value("type") == "ogg") return *error = "--merge writes WAV, not ogg", false;
    settings->type = 1;
  }
  return true;
}

}  // namespace

int RunExport(Arguments args) {
  ParsedArgs parsed;
  std::string error;
  if (!parsed.Parse(args, {"to", "merge", "type", "rate", "channels"}, {}, &error)) {
    return Fail(error + "\n" + kUsage);
  }
  if (parsed.Has("to") == parsed.Has("merge")) return Fail(std::string("give --to DIR or --merge FILE\n") + kUsage);
  OutputSettings settings;
  if (!RunSettings(parsed, &settings, &error)) return Fail(error);

  std::vector<std::string> entries = parsed.positional();
  std::string archive;
  if (!entries.empty() && LooksLikeArchive(entries[0])) {
    archive = entries[0];
    entries.erase(entries.begin());
  }

  TerminalSession session;
  TerminalWindow& window = session.window();
  if (parsed.Has("to")) {
    const std::string folder = *parsed.Value("to");
    if (folder.empty() || !platform::MakeFolders(folder)) {
      return Fail("cannot make the folder " + PathForDisplay(folder));
    }
    window.folder_answer = folder;
  } else {
    window.save_answer = *parsed.Value("merge");
  }
  if (auto code = session.Open(archive, "export")) return *code;
  if (!Select(window.list(), entries, &error)) return Fail(error);
  if (window.SelectedCount() == 0) {
    window.ShowMessage(texts::kNothingToExport, texts::kCaptionWarning);
    return kExitError;
  }

  MemoryStore run_settings;
  SaveOutputSettings(run_settings, settings);
  ExportSetup setup;
  setup.settings = &run_settings;
  ExportResult result;
  session.Run([&](AppState* state) {
    result = kowaki::RunExport(state, setup);
    return 0;
  });
  if (!result.destination || (result.output_failed && result.processed == 0)) return kExitError;
  const bool complete = !result.output_failed && result.processed == result.selected &&
                        result.succeeded == result.processed;
  return complete ? kExitOk : kExitIncomplete;
}

}  // namespace kowaki::cli
