// kowaki-cli list [ARCHIVE] [--json] [--all] [--loudness] [ENTRY...]: the
// archive's playable entries as the window lists them: name, size,
// seconds, channels, rate, and the entry number each row stands for; with
// --all also those that do not open, and why; with --loudness each one's
// integrated loudness and true peak (EBU R128), measured on every core.

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/commands/entry_selection.h"
#include "cli/output/json_output.h"
#include "cli/output/reasons.h"
#include "cli/output/text_output.h"
#include "cli/terminal/interrupt.h"
#include "cli/terminal/language.h"
#include "cli/terminal/terminal_window.h"
#include "jobs/entry_decoder.h"
#include "jobs/listing_job.h"
#include "jobs/loudness.h"
#include "jobs/ordered_work.h"
#include "jobs/output_names.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki::cli {

namespace {

// The entries that do not open among the listed ones, in index order:
// their names, sizes and why (in `reasons`, by row).
void AddUnplayable(const ArchiveIndex& index, RowList* list, std::vector<std::string>* reasons) {
  std::vector<RowList::Row> listed = std::move(list->rows());
  list->Clear();
  reasons->clear();
  size_t next = 0;  // the listing keeps index order
  for (int32_t entry = 0; entry < index.count; ++entry) {
    const auto row = static_cast<int32_t>(reasons->size());
    if (next < listed.size() && listed[next].entry == entry) {
      list->rows().push_back(std::move(listed[next++]));
      reasons->emplace_back();
      continue;
    }
    list->Insert(row, EntryName(&index, entry), entry);
    list->SetCell(row, 1, FormatSize(index.entries[entry].size));
    reasons->push_back(ProblemText(EntryDecoder(&index, entry).problem()));
  }
}

// A row's loudness, if it was measured (by row).
using RowLoudness = std::vector<std::optional<Loudness>>;

// Each selected row that opens, decoded as it is and measured; stops with
// Ctrl-C, leaving the rows after unmeasured.
RowLoudness MeasureRows(TerminalWindow& window, const ArchiveIndex& index,
                        const std::vector<std::string>& reasons, int32_t threads) {
  const std::vector<RowList::Row>& rows = window.list().rows();
  std::vector<size_t> measured;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].selected && (i >= reasons.size() || reasons[i].empty())) measured.push_back(i);
  }
  RowLoudness loudness(rows.size());
  const auto count = static_cast<int32_t>(measured.size());
  window.SetProgressRange(0, count);
  OrderedWork<std::optional<Loudness>> work;
  work.count = count;
  work.threads = threads;
  work.keep_going = [] { return !Interrupted(); };
  work.work = [&](int32_t item) -> std::optional<Loudness> {
    const auto same = [](const PcmFormat& source) { return source; };
    const auto entry = MeasureEntry(&index, rows[measured[static_cast<size_t>(item)]].entry, same);
    return entry ? std::optional(entry->loudness) : std::nullopt;
  };
  work.commit = [&](int32_t item, std::optional<Loudness>& result) {
    window.SetJobTitle(Say(Text::kWorkMeasuring, item + 1, count));
    window.SetProgressPosition(item + 1);
    loudness[measured[static_cast<size_t>(item)]] = result;
    return true;
  };
  RunOrdered(work);
  window.SetTitle("");
  return loudness;
}

// A level with one place; "-" for silence or none measured.
std::string LevelText(const std::optional<Loudness>& loudness, double Loudness::*level) {
  if (!loudness || !std::isfinite((*loudness).*level)) return "-";
  return FormatText("%.1f", (*loudness).*level);
}

void PrintTable(const RowList& list, const std::vector<std::string>& reasons,
                const RowLoudness& loudness) {
  size_t name_width = 8;
  for (const RowList::Row& row : list.rows()) {
    if (row.selected) name_width = std::max(name_width, DisplayWidth(Cp932ToUtf8(row.name)));
  }
  // Each column as wide as its title or its widest text.
  const size_t widths[] = {name_width, 10, 9, 8, 6};
  std::string out = "entry  " + Padded(Say(kColumnTitles[0]), widths[0], false);
  for (size_t c = 1; c < 5; ++c) {
    out += "  " + Padded(Say(kColumnTitles[c]), widths[c], true);
  }
  const bool levels = !loudness.empty();
  const size_t level_widths[] = {DisplayWidth(Say(Text::kColumnLoudness)),
                                 DisplayWidth(Say(Text::kColumnTruePeak))};
  if (levels) {
    out += "  " + Padded(Say(Text::kColumnLoudness), level_widths[0], true) + "  " +
           Padded(Say(Text::kColumnTruePeak), level_widths[1], true);
  }
  out += "\n";
  for (size_t i = 0; i < list.rows().size(); ++i) {
    const RowList::Row& row = list.rows()[i];
    if (!row.selected) continue;
    out += Padded(std::to_string(row.entry), 5, true) + "  " +
           Padded(Cp932ToUtf8(row.name), widths[0], false);
    for (size_t c = 1; c < 5; ++c) out += "  " + Padded(row.cells[c], widths[c], true);
    if (levels) {
      out += "  " + Padded(LevelText(loudness[i], &Loudness::integrated), level_widths[0], true) +
             "  " + Padded(LevelText(loudness[i], &Loudness::true_peak), level_widths[1], true);
    }
    if (i < reasons.size() && !reasons[i].empty()) out += "  " + reasons[i];
    out += "\n";
    if (out.size() > (1 << 16)) {
      PrintText(stdout, out);
      out.clear();
    }
  }
  PrintText(stdout, out);
}

// A row's record; "seconds" with six places.
Json RowJson(const RowList::Row& row, const ArchiveEntry& entry, const std::string& reason) {
  Json record = EntryRecord(row.entry, row.name);
  record["size"] = entry.size;
  record["size_text"] = row.cells[1];
  record["offset"] = entry.offset;
  record["playable"] = reason.empty();
  if (!reason.empty()) {
    record["reason"] = reason;
    return record;
  }
  record["seconds"] = row.facts.seconds;
  record["seconds_text"] = row.cells[2];
  record["frames"] = row.facts.frames;
  record["channels"] = row.facts.channels;
  record["rate"] = row.facts.rate;
  return record;
}

void PrintRows(const std::string& path, const RowList& list, const ArchiveIndex& index,
               const std::vector<std::string>& reasons, const RowLoudness& loudness) {
  Json head;
  head["path"] = PathForDisplay(path);
  JsonListPrinter printer(head, "rows", 6);
  for (size_t i = 0; i < list.rows().size(); ++i) {
    const RowList::Row& row = list.rows()[i];
    if (!row.selected) continue;
    Json record = RowJson(row, index.entries[row.entry], i < reasons.size() ? reasons[i] : "");
    if (!loudness.empty()) {
      const std::optional<Loudness>& level = loudness[i];
      record["loudness"] = level ? LoudnessJson(level->integrated) : Json();
      record["true_peak"] = level ? LoudnessJson(level->true_peak) : Json();
    }
    printer.Add(record);
  }
  printer.Finish();
}

}  // namespace

int RunList(Arguments args) {
  ParsedArgs parsed;
  const Result<> parsing =
      parsed.Parse(args, {"jobs", "wineprefix"}, {"json", "all", "loudness"}, {{'j', "jobs"}});
  if (!parsing) return BadArguments("list", parsing.failure().text);
  const Result<long long> jobs = parsed.Integer("jobs", 1, kMaxJobs, 0);
  if (!jobs) return BadArguments("list", jobs.failure().text);
  std::vector<std::string> entries = parsed.positional();
  const std::string archive = TakeArchive(&entries);
  TerminalSession session;
  session.state().threads = static_cast<int32_t>(*jobs);
  if (auto code = session.Open(archive, "list", parsed.Value("wineprefix").value_or("")))
    return *code;
  if (Interrupted()) return Complain(Say(Text::kInterrupted)), kExitInterrupted;
  RowList& list = session.window().list();
  const ArchiveIndex& index = *session.state().index;
  std::vector<std::string> reasons;
  if (parsed.Has("all")) AddUnplayable(index, &list, &reasons);
  if (const Result<> selected = SelectRows(list, entries); !selected) {
    return BadArguments("list", selected.failure().text);
  }
  const RowLoudness loudness =
      parsed.Has("loudness")
          ? MeasureRows(session.window(), index, reasons, JobThreads(session.state()))
          : RowLoudness{};
  if (Interrupted()) return Complain(Say(Text::kInterrupted)), kExitInterrupted;
  if (parsed.Has("json")) {
    PrintRows(session.path(), list, index, reasons, loudness);
  } else {
    PrintTable(list, reasons, loudness);
  }
  return kExitOk;
}

}  // namespace kowaki::cli
