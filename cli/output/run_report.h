#pragma once
// What a run of `export` or `play` did: the one-line summary at its end and
// the JSON object of --json (the totals, then a record per entry taken up),
// both from the entries' outcomes.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_index.h"
#include "jobs/entry_outcome.h"
#include "jobs/row_list.h"

namespace kowaki::cli {

struct RunReport {
  const char* command = "";  // "export" or "play"
  std::string archive;       // its path
  const ArchiveIndex* index = nullptr;
  const RowList* list = nullptr;  // the rows, for each entry's length
  int32_t selected = 0;
  const std::vector<EntryOutcome>* entries = nullptr;  // those taken up, in order
  bool interrupted = false;
  std::chrono::steady_clock::duration elapsed{};
  std::string output;  // the output format and where it came from; empty for play
};

// "3 files written, 1 skipped, 0 failed; 1.2 MB in 0.4 s; wav, ... (the stored settings)"
std::string SummaryLine(const RunReport& report);
// The end of a run on the terminal: the summary unless quiet, the JSON
// object when asked for.
void ReportRun(const RunReport& report, bool json);

}  // namespace kowaki::cli
