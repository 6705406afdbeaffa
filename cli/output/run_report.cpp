#include "cli/output/run_report.h"

#include "cli/arguments/global_options.h"
#include "cli/commands.h"
#include "cli/output/json_output.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "jobs/job_end.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki::cli {

namespace {

struct Totals {
  int32_t done = 0;
  int32_t skipped = 0;
  int32_t failed = 0;
  int32_t damaged = 0;  // written all the same
  int32_t left = 0;
  uint64_t bytes = 0;
};

Totals Count(const RunReport& report) {
  Totals totals;
  for (const EntryOutcome& outcome : *report.entries) {
    totals.done += outcome.ok ? 1 : 0;
    totals.skipped += outcome.problem == EntryProblem::kKept ? 1 : 0;
    totals.damaged += outcome.ok && outcome.problem != EntryProblem::kNone ? 1 : 0;
    totals.bytes += outcome.ok ? outcome.bytes : 0;
  }
  totals.failed = static_cast<int32_t>(report.entries->size()) - totals.done - totals.skipped;
  totals.left = report.selected - static_cast<int32_t>(report.entries->size());
  return totals;
}

double Seconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

std::string Bytes(uint64_t bytes) {
  if (bytes < 1024 * 1024) return FormatText("%.1f KiB", static_cast<double>(bytes) / 1024);
  return FormatText("%.1f MiB", static_cast<double>(bytes) / (1024 * 1024));
}

// Each entry's length in frames, from the row that stands for it.
std::vector<int64_t> FramesByEntry(const RunReport& report) {
  std::vector<int64_t> frames(static_cast<size_t>(report.index->count), 0);
  for (const RowList::Row& row : report.list->rows()) {
    if (row.entry >= 0 && row.entry < report.index->count) {
      frames[static_cast<size_t>(row.entry)] = row.facts.frames;
    }
  }
  return frames;
}

const char* Status(const RunReport& report, const EntryOutcome& outcome) {
  if (outcome.problem == EntryProblem::kKept) return "skipped";
  if (!outcome.ok) return "failed";
  return std::string_view(report.command) == "play" ? "played" : "written";
}

// What an entry brought to a loudness measured, and the gain it got.
void AddLoudness(const EntryLoudness& loudness, Json& record) {
  record["loudness"] = LoudnessJson(loudness.integrated);
  record["true_peak"] = LoudnessJson(loudness.true_peak);
  record["gain"] = loudness.gain;
  record["gain_limited"] = loudness.limited;
}

Json EntryJson(const RunReport& report, const EntryOutcome& outcome, int64_t frames) {
  const bool problem = outcome.problem != EntryProblem::kNone;
  Json record = EntryRecord(outcome.entry, EntryName(report.index, outcome.entry));
  record["status"] = Status(report, outcome);
  record["problem"] = problem ? Json(ProblemId(outcome.problem)) : Json();
  record["reason"] = problem ? Json(ProblemText(outcome)) : Json();
  record["output"] = outcome.path.empty() ? Json() : Json(PathForDisplay(outcome.path));
  record["frames"] = frames;
  record["bytes"] = outcome.bytes;
  if (outcome.loudness) AddLoudness(*outcome.loudness, record);
  return record;
}

// The totals, then a record per entry taken up; "seconds" with three places.
void PrintRunJson(const RunReport& report) {
  const Totals totals = Count(report);
  Json head;
  head["command"] = report.command;
  head["archive"] = PathForDisplay(report.archive);
  head["selected"] = report.selected;
  head["done"] = totals.done;
  head["skipped"] = totals.skipped;
  head["failed"] = totals.failed;
  head["left"] = totals.left;
  head["bytes"] = totals.bytes;
  head["seconds"] = Seconds(report.elapsed);
  head["interrupted"] = report.interrupted;
  JsonListPrinter printer(head, "entries", 3);
  const std::vector<int64_t> frames = FramesByEntry(report);
  for (const EntryOutcome& outcome : *report.entries) {
    printer.Add(EntryJson(report, outcome, frames[static_cast<size_t>(outcome.entry)]));
  }
  printer.Finish();
}

// "3 written (1 damaged), 0 skipped, 0 failed"
std::string CountsText(const Totals& totals, bool play) {
  if (play) return Say(Text::kSummaryPlayed, totals.done, totals.failed);
  if (totals.damaged == 0) {
    return Say(Text::kSummaryWritten, totals.done, totals.skipped, totals.failed);
  }
  return Say(Text::kSummaryWrittenDamaged, totals.done, totals.damaged, totals.skipped,
             totals.failed);
}

}  // namespace

int32_t EndBeforeJob(JobWindow& window, Text failed_text, Text stopped_text) {
  const int32_t selected = window.SelectedCount();
  ShowEndMessages(window, failed_text, stopped_text, selected, 0, 0);
  return selected;
}

std::string SummaryLine(const RunReport& report) {
  const Totals totals = Count(report);
  const bool play = std::string_view(report.command) == "play";
  std::string line = CountsText(totals, play);
  if (totals.left > 0) line += Say(Text::kSummaryLeft, totals.left);
  if (!play) line += "; " + Bytes(totals.bytes);
  line += Say(Text::kSummaryTime, Seconds(report.elapsed));
  if (!report.output.empty()) line += "; " + report.output;
  return line;
}

int EndRun(const RunReport& report, bool json) {
  if (!Quiet()) Complain(SummaryLine(report));
  if (json) PrintRunJson(report);
  if (report.interrupted) return kExitInterrupted;
  const auto taken = static_cast<int32_t>(report.entries->size());
  const bool complete =
      taken == report.selected && report.succeeded == taken && Count(report).damaged == 0;
  return complete ? kExitOk : kExitIncomplete;
}

}  // namespace kowaki::cli
