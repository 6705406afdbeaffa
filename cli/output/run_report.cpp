#include "cli/output/run_report.h"

#include "cli/arguments/global_options.h"
#include "cli/output/reasons.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki::cli {

namespace {

struct Totals {
  int32_t done = 0;
  int32_t skipped = 0;
  int32_t failed = 0;
  int32_t left = 0;
  uint64_t bytes = 0;
};

Totals Count(const RunReport& report) {
  Totals totals;
  for (const EntryOutcome& outcome : *report.entries) {
    totals.done += outcome.ok ? 1 : 0;
    totals.skipped += outcome.problem == EntryProblem::kKept ? 1 : 0;
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

std::string EntryJson(const RunReport& report, const EntryOutcome& outcome, int64_t frames) {
  const std::string_view name = EntryName(report.index, outcome.entry);
  const bool problem = outcome.problem != EntryProblem::kNone;
  return "{\"entry\": " + std::to_string(outcome.entry) +
         ", \"name\": " + JsonString(Cp932ToUtf8(name)) + ", \"name_hex\": \"" + HexBytes(name) +
         "\", \"status\": \"" + Status(report, outcome) + "\", \"problem\": " +
         (problem ? "\"" + std::string(ProblemId(outcome.problem)) + "\"" : "null") +
         ", \"reason\": " + (problem ? JsonString(ProblemText(outcome)) : "null") +
         ", \"output\": " +
         (outcome.path.empty() ? "null" : JsonString(PathForDisplay(outcome.path))) +
         ", \"frames\": " + std::to_string(frames) +
         ", \"bytes\": " + std::to_string(outcome.bytes) + "}";
}

}  // namespace

std::string SummaryLine(const RunReport& report) {
  const Totals totals = Count(report);
  const bool play = std::string_view(report.command) == "play";
  std::string line = play ? Say(Text::kSummaryPlayed, totals.done, totals.failed)
                          : Say(Text::kSummaryWritten, totals.done, totals.skipped, totals.failed);
  if (totals.left > 0) line += Say(Text::kSummaryLeft, totals.left);
  if (!play) line += "; " + Bytes(totals.bytes);
  line += Say(Text::kSummaryTime, Seconds(report.elapsed));
  if (!report.output.empty()) line += "; " + report.output;
  return line;
}

std::string RunJson(const RunReport& report) {
  const Totals totals = Count(report);
  std::string out = "{\"command\": \"" + std::string(report.command) +
                    "\", \"archive\": " + JsonString(PathForDisplay(report.archive)) +
                    ", \"selected\": " + std::to_string(report.selected) +
                    ", \"done\": " + std::to_string(totals.done) +
                    ", \"skipped\": " + std::to_string(totals.skipped) +
                    ", \"failed\": " + std::to_string(totals.failed) +
                    ", \"left\": " + std::to_string(totals.left) +
                    ", \"bytes\": " + std::to_string(totals.bytes) +
                    ", \"seconds\": " + FormatText("%.3f", Seconds(report.elapsed)) +
                    ", \"interrupted\": " + (report.interrupted ? "true" : "false") +
                    ", \"entries\": [";
  const std::vector<int64_t> frames = FramesByEntry(report);
  for (size_t i = 0; i < report.entries->size(); ++i) {
    const EntryOutcome& outcome = (*report.entries)[i];
    out += (i ? ", " : "") + EntryJson(report, outcome, frames[static_cast<size_t>(outcome.entry)]);
  }
  return out + "]}\n";
}

void ReportRun(const RunReport& report, bool json) {
  if (!Quiet()) Complain(SummaryLine(report));
  if (json) PrintJson(RunJson(report));
}

}  // namespace kowaki::cli
