// kowaki-cli export [ARCHIVE] (--to DIR | --merge FILE) [--type ogg|wav|flac]
//   [--rate N|source] [--channels 1|2|source] [--name TEMPLATE] [--markers]
//   [--gap SECONDS] [--loudness LUFS [--true-peak DB] [--loudness-mode track|album]]
//   [--flac-level N]
//   [-n] [--json] [ENTRY...]
// Lists the archive as the window does, selects the rows the ENTRY
// arguments name (all when none), and runs the export job on them with the
// stored output settings, changed by the options for this run only.

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
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
#include "convert/flac_encoder.h"
#include "jobs/export_file.h"
#include "jobs/export_job.h"
#include "jobs/loudness.h"
#include "jobs/output_names.h"
#include "settings/memory_store.h"
#include "settings/output_settings.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

int Fail(const std::string& message) { return BadArguments("export", message); }

constexpr double kMaxGapSeconds = 3600;
// Targets a meter can tell apart from its gate, ceilings below full scale.
constexpr double kMinLoudness = -70;
constexpr double kMaxLoudness = -5;
constexpr double kMinTruePeak = -20;

bool EndsWithNoCase(std::string_view text, std::string_view end) {
  return text.size() >= end.size() &&
         std::equal(
             end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
             [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

// The type a merge file's name asks for, if any.
std::optional<int32_t> TypeOfName(std::string_view file) {
  if (EndsWithNoCase(file, ".flac")) return kOutputTypeFlac;
  if (EndsWithNoCase(file, ".wav")) return kOutputTypeWav;
  return std::nullopt;
}

// The stored settings with the options laid over them; the destination
// option says whether the output is merged.
Result<OutputSettings> RunSettings(const ParsedArgs& parsed) {
  OutputSettings settings = LoadOutputSettings(*OpenSettingsStore());
  if (const Result<> applied = ApplyOutputOptions(parsed, &settings); !applied) {
    return applied.failure();
  }
  settings.merge = parsed.Has("merge") ? 1 : 0;
  if (parsed.Has("merge")) {
    if (parsed.Value("type") == "ogg") return Failure{Say(Text::kArgMergeIsWav)};
    // Without --type: what the name ends in, else FLAC where that is
    // stored and WAV otherwise.
    const int32_t stored = settings.type == kOutputTypeFlac ? kOutputTypeFlac : kOutputTypeWav;
    if (!parsed.Has("type")) settings.type = TypeOfName(*parsed.Value("merge")).value_or(stored);
  }
  return settings;
}

// A plain decimal number (no exponent, "inf" or "nan"), a leading minus
// only where `negative`, from `low` to `high`.
std::optional<double> PlainDecimal(std::string_view text, bool negative, double low, double high) {
  const std::string_view digits = negative && text.starts_with('-') ? text.substr(1) : text;
  const bool plain = digits.find_first_not_of("0123456789.") == std::string_view::npos &&
                     std::count(digits.begin(), digits.end(), '.') <= 1 &&
                     digits.find_first_of("0123456789") != std::string_view::npos;
  double value = 0;
  const char* end = text.data() + text.size();
  if (!plain || std::from_chars(text.data(), end, value).ptr != end || value < low ||
      value > high) {
    return std::nullopt;
  }
  return value;
}

// --gap: seconds, 0 when absent.
Result<double> GapSeconds(const ParsedArgs& parsed) {
  const std::optional<std::string> text = parsed.Value("gap");
  if (!text) return 0.0;
  const std::optional<double> seconds = PlainDecimal(*text, false, 0, kMaxGapSeconds);
  if (!seconds) return Failure{Say(Text::kArgGapTakes, *text)};
  return *seconds;
}

struct LoudnessRequest {
  std::optional<LoudnessTarget> target;
  bool album = false;
};

// --loudness LUFS, with --true-peak DB and --loudness-mode track|album.
Result<LoudnessRequest> LoudnessOptions(const ParsedArgs& parsed) {
  LoudnessRequest request;
  for (const char* option : {"true-peak", "loudness-mode"}) {
    if (parsed.Has(option) && !parsed.Has("loudness")) {
      return Failure{Say(Text::kArgWithLoudness, option)};
    }
  }
  const std::optional<std::string> lufs = parsed.Value("loudness");
  if (!lufs) return request;
  LoudnessTarget target;
  const std::optional<double> integrated = PlainDecimal(*lufs, true, kMinLoudness, kMaxLoudness);
  if (!integrated) return Failure{Say(Text::kArgLoudnessTakes, *lufs)};
  target.integrated = *integrated;
  if (const std::optional<std::string> ceiling = parsed.Value("true-peak")) {
    const std::optional<double> peak = PlainDecimal(*ceiling, true, kMinTruePeak, 0);
    if (!peak) return Failure{Say(Text::kArgTruePeakTakes, *ceiling)};
    target.true_peak = *peak;
  }
  const std::string mode = parsed.Value("loudness-mode").value_or("track");
  if (mode != "track" && mode != "album") return Failure{Say(Text::kArgLoudnessModeTakes, mode)};
  request.target = target;
  request.album = mode == "album";
  return request;
}

// "wav, 22050 Hz, stereo (the options)": what the files are and where that came from.
std::string OutputText(const ParsedArgs& parsed, const OutputSettings& settings,
                       const LoudnessRequest& loudness) {
  std::string text = OutputFormatText(settings);
  if (loudness.target) {
    text += Say(loudness.album ? Text::kOutputLoudnessAlbum : Text::kOutputLoudness,
                loudness.target->integrated, loudness.target->true_peak);
  }
  const bool named = parsed.Has("merge") && TypeOfName(*parsed.Value("merge"));
  const bool options = parsed.Has("type") || parsed.Has("rate") || parsed.Has("channels") || named;
  return text + Say(options ? Text::kOutputFromOptions : Text::kOutputFromSettings);
}

struct Request {
  ParsedArgs parsed;
  long long jobs = 0;
  int32_t flac_level = kFlacDefaultLevel;
  double gap = 0;
  LoudnessRequest loudness;
  OutputSettings settings;
  std::vector<std::string> entries;
  std::string archive;
  NameTemplate names;
};

// Options that do not go together, or are missing.
Result<> CheckCombination(const ParsedArgs& parsed) {
  if (parsed.Has("to") == parsed.Has("merge")) return Failure{Say(Text::kArgGiveToOrMerge)};
  if (parsed.Has("markers") && !parsed.Has("merge")) {
    return Failure{Say(Text::kArgMarkersWithMerge)};
  }
  if (parsed.Has("gap") && !parsed.Has("merge")) return Failure{Say(Text::kArgGapWithMerge)};
  if (parsed.Has("json") && parsed.Value("merge") == "-") {
    return Failure{Say(Text::kArgJsonAndMergeStdout)};
  }
  if (parsed.Has("name") && parsed.Has("merge")) return Failure{Say(Text::kArgNameNotMerge)};
  return {};
}

// Fails on arguments that do not make a run.
Result<Request> ParseRequest(Arguments args) {
  Request request;
  ParsedArgs& parsed = request.parsed;
  if (const Result<> parsing =
          parsed.Parse(args,
                       {"to", "merge", "type", "rate", "channels", "jobs", "name", "wineprefix",
                        "gap", "loudness", "true-peak", "loudness-mode", "flac-level"},
                       {"no-clobber", "json", "markers", "verbose"},
                       {{'j', "jobs"}, {'n', "no-clobber"}, {'v', "verbose"}});
      !parsing) {
    return parsing.failure();
  }
  const Result<long long> jobs = parsed.Integer("jobs", 1, kMaxJobs, 0);
  if (!jobs) return jobs.failure();
  request.jobs = *jobs;
  const Result<long long> level = parsed.Integer("flac-level", 0, kFlacMaxLevel, kFlacDefaultLevel);
  if (!level) return level.failure();
  request.flac_level = static_cast<int32_t>(*level);
  if (const Result<> combined = CheckCombination(parsed); !combined) return combined.failure();
  const Result<double> gap = GapSeconds(parsed);
  if (!gap) return gap.failure();
  request.gap = *gap;
  const Result<LoudnessRequest> loudness = LoudnessOptions(parsed);
  if (!loudness) return loudness.failure();
  request.loudness = *loudness;
  if (parsed.Has("name")) {
    if (const Result<> names = request.names.Parse(*parsed.Value("name")); !names) {
      return names.failure();
    }
  }
  const Result<OutputSettings> settings = RunSettings(parsed);
  if (!settings) return settings.failure();
  request.settings = *settings;
  if (request.loudness.target && settings->type == 0) {
    return Failure{Say(Text::kArgLoudnessNotOgg)};
  }
  if (parsed.Has("flac-level") && settings->type != kOutputTypeFlac) {
    return Failure{Say(Text::kArgFlacLevelNotFlac)};
  }
  request.entries = parsed.positional();
  request.archive = TakeArchive(&request.entries);
  return request;
}

// Where the files go, as the pickers' answers: the folder --to names, made
// when missing, or the merge file.
Result<> SetDestination(const ParsedArgs& parsed, TerminalWindow& window) {
  if (parsed.Has("merge")) {
    window.save_answer = *parsed.Value("merge");
    return {};
  }
  const std::string folder = *parsed.Value("to");
  if (folder.empty() || !platform::MakeFolders(folder)) {
    return Failure{Say(Text::kCannotMakeFolder, PathForDisplay(folder))};
  }
  window.folder_answer = folder;
  return {};
}

// Before the job, on a listing that was not stopped: the exit code when
// there is nothing to do, after saying so.
std::optional<int> NothingToDo(const ParsedArgs& parsed, TerminalWindow& window) {
  if (window.SelectedCount() == 0) {
    window.ShowMessage(Say(Text::kNothingToExport), Say(Text::kCaptionWarning));
    return kExitError;
  }
  const std::string merge = parsed.Value("merge").value_or("-");
  if (parsed.Has("no-clobber") && merge != "-" &&
      kowaki::platform::KindOfPath(merge) != kowaki::platform::PathKind::kNone) {
    Complain(Say(Text::kMergeFileKept, PathForDisplay(merge)));
    return kExitOk;
  }
  return std::nullopt;
}

// The export job on the selected rows, with the settings for this run.
ExportResult Export(const Request& request, TerminalSession& session) {
  session.window().CountBytes(*session.state().index);
  MemoryStore run_settings;
  SaveOutputSettings(run_settings, request.settings);
  ExportSetup setup;
  setup.settings = &run_settings;
  setup.keep_existing = request.parsed.Has("no-clobber");
  setup.markers = request.parsed.Has("markers");
  setup.flac = true;
  setup.album = std::string(FileNameOf(session.path()));
  setup.gap_seconds = request.gap;
  setup.flac_level = request.flac_level;
  setup.loudness = request.loudness.target;
  setup.loudness_album = request.loudness.album;
  if (request.parsed.Has("name")) {
    setup.file_name = [&request](std::string_view name, int32_t entry, int32_t place) {
      return request.names.Apply(name, entry, place);
    };
  }
  ExportResult result;
  session.Run([&](AppState* state) { result = kowaki::RunExport(state, setup); });
  return result;
}

}  // namespace

int RunExport(Arguments args) {
  const Result<Request> request = ParseRequest(args);
  if (!request) return Fail(request.failure().text);
  const ParsedArgs& parsed = request->parsed;
  TerminalSession session;
  session.state().threads = static_cast<int32_t>(request->jobs);
  TerminalWindow& window = session.window();
  window.ShowEveryKept(parsed.Has("verbose"));
  if (const Result<> destination = SetDestination(parsed, window); !destination) {
    Complain(destination.failure().text);
    return kExitError;
  }
  if (auto code = session.Open(request->archive, "export", parsed.Value("wineprefix").value_or("")))
    return *code;
  const bool stopped = Interrupted();  // while listing: the rows not listed may be named
  const Result<> selected = SelectRows(window.list(), request->entries);
  if (!selected && !stopped) return Fail(selected.failure().text);
  if (auto code = stopped ? std::nullopt : NothingToDo(parsed, window)) return *code;
  const int32_t selected_count = window.SelectedCount();
  if (!stopped && request->settings.type == kOutputTypeFlac && request->settings.merge &&
      parsed.Has("markers") && selected_count > kFlacMaxCueTracks) {
    return Fail(Say(Text::kArgTooManyCueTracks, kFlacMaxCueTracks, selected_count));
  }

  const auto start = std::chrono::steady_clock::now();
  ExportResult result;
  if (stopped) {
    result.selected = EndBeforeJob(window, Text::kExportFailed, Text::kExportStopped);
  } else {
    result = Export(*request, session);
    if (!result.destination || (result.output_failed && result.processed == 0)) return kExitError;
  }
  window.EndKeptLines();
  const RunReport report{.command = "export",
                         .archive = session.path(),
                         .index = session.state().index.get(),
                         .list = &window.list(),
                         .selected = result.selected,
                         .entries = &result.entries,
                         .succeeded = result.succeeded + result.skipped,
                         .interrupted = Interrupted(),
                         .elapsed = std::chrono::steady_clock::now() - start,
                         .output = OutputText(parsed, request->settings, request->loudness)};
  return EndRun(report, parsed.Has("json"));
}

}  // namespace kowaki::cli
