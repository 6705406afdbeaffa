// kowaki-cli export [ARCHIVE] (--to DIR | --merge FILE) [--type ogg|wav]
//   [--rate N|source] [--channels 1|2|source] [--name TEMPLATE] [--markers] [-n] [--json]
//   [ENTRY...]
// Lists the archive as the window does, selects the rows the ENTRY
// arguments name (all when none), and runs the export job on them with the
// stored output settings, changed by the options for this run only.

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/commands/entry_selection.h"
#include "cli/commands/name_template.h"
#include "cli/commands/output_options.h"
#include "cli/output/run_report.h"
#include "cli/output/text_output.h"
#include "cli/terminal/interrupt.h"
#include "cli/terminal/language.h"
#include "cli/terminal/terminal_window.h"
#include "common/output_file.h"
#include "jobs/export_file.h"
#include "jobs/export_job.h"
#include "jobs/output_names.h"
#include "settings/memory_store.h"
#include "settings/output_settings.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

int Fail(const std::string& message) { return BadArguments("export", message); }

// The stored settings with the options laid over them; the destination
// option says whether the WAV output is merged.
bool RunSettings(const ParsedArgs& parsed, OutputSettings* settings, std::string* error) {
  *settings = LoadOutputSettings(*OpenSettingsStore());
  if (!ApplyOutputOptions(parsed, settings, error)) return false;
  settings->merge = parsed.Has("merge") ? 1 : 0;
  if (parsed.Has("merge")) {
    if (parsed.Value("type") == "ogg") return *error = Say(Text::kArgMergeIsWav), false;
    settings->type = 1;
  }
  return true;
}

// "wav, 22050 Hz, stereo (the options)": what the files are and where that came from.
std::string OutputText(const ParsedArgs& parsed, const OutputSettings& settings) {
  std::string text = settings.type ? "wav" : "ogg";
  if (settings.type) {
    text += settings.frq > 0 ? Say(Text::kOutputRate, settings.frq) : Say(Text::kOutputSourceRate);
    text += Say(settings.ch == 1   ? Text::kOutputMono
                : settings.ch == 2 ? Text::kOutputStereo
                                   : Text::kOutputSourceChannels);
  }
  const bool options = parsed.Has("type") || parsed.Has("rate") || parsed.Has("channels");
  return text + Say(options ? Text::kOutputFromOptions : Text::kOutputFromSettings);
}

struct Request {
  ParsedArgs parsed;
  long long jobs = 0;
  OutputSettings settings;
  std::vector<std::string> entries;
  std::string archive;
  NameTemplate names;
};

// False with a message for arguments that do not make a run.
bool ParseRequest(Arguments args, Request* request, std::string* error) {
  ParsedArgs& parsed = request->parsed;
  if (!parsed.Parse(args, {"to", "merge", "type", "rate", "channels", "jobs", "name", "wineprefix"},
                    {"no-clobber", "json", "markers"}, error,
                    {{'j', "jobs"}, {'n', "no-clobber"}}) ||
      !parsed.Integer("jobs", 1, kMaxJobs, 0, &request->jobs, error)) {
    return false;
  }
  if (parsed.Has("to") == parsed.Has("merge")) return *error = Say(Text::kArgGiveToOrMerge), false;
  if (parsed.Has("markers") && !parsed.Has("merge")) {
    return *error = Say(Text::kArgMarkersWithMerge), false;
  }
  if (parsed.Has("json") && parsed.Value("merge") == "-") {
    return *error = Say(Text::kArgJsonAndMergeStdout), false;
  }
  if (parsed.Has("name") &&
      (parsed.Has("merge") || !request->names.Parse(*parsed.Value("name"), error))) {
    if (parsed.Has("merge")) *error = Say(Text::kArgNameNotMerge);
    return false;
  }
  request->entries = parsed.positional();
  request->archive = TakeArchive(&request->entries);
  return RunSettings(parsed, &request->settings, error);
}

}  // namespace

int RunExport(Arguments args) {
  Request request;
  std::string error;
  if (!ParseRequest(args, &request, &error)) return Fail(error);
  const ParsedArgs& parsed = request.parsed;

  TerminalSession session;
  session.state().threads = static_cast<int32_t>(request.jobs);
  TerminalWindow& window = session.window();
  if (parsed.Has("to")) {
    const std::string folder = *parsed.Value("to");
    if (folder.empty() || !platform::MakeFolders(folder)) {
      Complain(Say(Text::kCannotMakeFolder, PathForDisplay(folder)));
      return kExitError;
    }
    window.folder_answer = folder;
  } else {
    window.save_answer = *parsed.Value("merge");
  }
  if (auto code = session.Open(request.archive, "export", parsed.Value("wineprefix").value_or("")))
    return *code;
  if (!SelectRows(window.list(), request.entries, &error)) return Fail(error);
  if (window.SelectedCount() == 0) {
    window.ShowMessage(Say(Text::kNothingToExport), Say(Text::kCaptionWarning));
    return kExitError;
  }
  if (parsed.Has("no-clobber") && parsed.Has("merge") && *parsed.Value("merge") != "-" &&
      kowaki::platform::KindOfPath(*parsed.Value("merge")) != kowaki::platform::PathKind::kNone) {
    Complain(Say(Text::kMergeFileKept, PathForDisplay(*parsed.Value("merge"))));
    return kExitOk;
  }

  window.CountBytes(*session.state().index);
  MemoryStore run_settings;
  SaveOutputSettings(run_settings, request.settings);
  ExportSetup setup;
  setup.settings = &run_settings;
  setup.keep_existing = parsed.Has("no-clobber");
  setup.markers = parsed.Has("markers");
  if (parsed.Has("name")) {
    setup.file_name = [&request](std::string_view name, int32_t entry, int32_t place) {
      return request.names.Apply(name, entry, place);
    };
  }
  ExportResult result;
  const auto start = std::chrono::steady_clock::now();
  session.Run([&](AppState* state) { result = kowaki::RunExport(state, setup); });
  if (!result.destination || (result.output_failed && result.processed == 0)) return kExitError;

  const RunReport report{.command = "export",
                         .archive = session.path(),
                         .index = session.state().index.get(),
                         .list = &window.list(),
                         .selected = result.selected,
                         .entries = &result.entries,
                         .interrupted = Interrupted(),
                         .elapsed = std::chrono::steady_clock::now() - start,
                         .output = OutputText(parsed, request.settings)};
  ReportRun(report, parsed.Has("json"));
  if (Interrupted()) return kExitInterrupted;
  const bool complete = !result.output_failed && result.processed == result.selected &&
                        result.succeeded + result.skipped == result.processed &&
                        result.damaged == 0;
  return complete ? kExitOk : kExitIncomplete;
}

}  // namespace kowaki::cli
