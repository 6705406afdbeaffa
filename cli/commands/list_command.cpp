// kowaki-cli list [ARCHIVE] [--json] [--all] [ENTRY...]: the archive's
// playable entries as the window lists them: name, size, seconds,
// channels, rate, and the entry number each row stands for; with --all
// also those that do not open, and why.

#include <cstdio>
#include <string>

#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/commands/entry_selection.h"
#include "cli/output/json_output.h"
#include "cli/output/reasons.h"
#include "cli/output/text_output.h"
#include "cli/terminal/interrupt.h"
#include "cli/terminal/terminal_window.h"
#include "jobs/entry_decoder.h"
#include "jobs/listing_job.h"
#include "jobs/output_names.h"
#include "text/catalogue.h"

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

void PrintTable(const RowList& list, const std::vector<std::string>& reasons) {
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
  out += "\n";
  for (size_t i = 0; i < list.rows().size(); ++i) {
    const RowList::Row& row = list.rows()[i];
    if (!row.selected) continue;
    out += Padded(std::to_string(row.entry), 5, true) + "  " +
           Padded(Cp932ToUtf8(row.name), widths[0], false);
    for (size_t c = 1; c < 5; ++c) out += "  " + Padded(row.cells[c], widths[c], true);
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
               const std::vector<std::string>& reasons) {
  Json head;
  head["path"] = PathForDisplay(path);
  JsonListPrinter printer(head, "rows", 6);
  for (size_t i = 0; i < list.rows().size(); ++i) {
    const RowList::Row& row = list.rows()[i];
    if (!row.selected) continue;
    printer.Add(RowJson(row, index.entries[row.entry], i < reasons.size() ? reasons[i] : ""));
  }
  printer.Finish();
}

}  // namespace

int RunList(Arguments args) {
  ParsedArgs parsed;
  const Result<> parsing =
      parsed.Parse(args, {"jobs", "wineprefix"}, {"json", "all"}, {{'j', "jobs"}});
  if (!parsing) return BadArguments("list", parsing.failure().text);
  const Result<long long> jobs = parsed.Integer("jobs", 1, kMaxJobs, 0);
  if (!jobs) return BadArguments("list", jobs.failure().text);
  std::vector<std::string> entries = parsed.positional();
  const std::string archive = TakeArchive(&entries);
  TerminalSession session;
  session.state().threads = static_cast<int32_t>(*jobs);
  if (auto code = session.Open(archive, "list", parsed.Value("wineprefix").value_or("")))
    return *code;
  if (Interrupted()) return kExitInterrupted;
  RowList& list = session.window().list();
  const ArchiveIndex& index = *session.state().index;
  std::vector<std::string> reasons;
  if (parsed.Has("all")) AddUnplayable(index, &list, &reasons);
  if (const Result<> selected = SelectRows(list, entries); !selected) {
    return BadArguments("list", selected.failure().text);
  }
  if (parsed.Has("json")) {
    PrintRows(session.path(), list, index, reasons);
  } else {
    PrintTable(list, reasons);
  }
  return kExitOk;
}

}  // namespace kowaki::cli
