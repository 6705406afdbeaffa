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
#include "cli/entry_selection.h"
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
    "                         [--rate N|source] [--channels 1|2|source] [-j N] [ENTRY...]\n"
    "  ENTRY: a name, a shell-style pattern (* ? [..]) or #N for entry number N\n"
    "  -j, --jobs N: entries made on N threads at once (default: one per hardware thread)\n";

int Fail(const std::string& message) {
  PrintText(stderr, "kowaki-cli export: " + message + "\n");
  return kExitError;
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
  long long jobs = 0;
  if (!parsed.Parse(args, {"to", "merge", "type", "rate", "channels", "jobs"}, {}, &error,
                    {{'j', "jobs"}}) ||
      !parsed.Integer("jobs", 1, kMaxJobs, 0, &jobs, &error)) {
    return Fail(error + "\n" + kUsage);
  }
  if (parsed.Has("to") == parsed.Has("merge"))
    return Fail(std::string("give --to DIR or --merge FILE\n") + kUsage);
  OutputSettings settings;
  if (!RunSettings(parsed, &settings, &error)) return Fail(error);

  std::vector<std::string> entries = parsed.positional();
  const std::string archive = TakeArchive(&entries);

  TerminalSession session;
  session.state().threads = static_cast<int32_t>(jobs);
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
  if (!SelectRows(window.list(), entries, &error)) return Fail(error);
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
