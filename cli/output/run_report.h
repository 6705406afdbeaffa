#pragma once
// What a run of a command that reports entries (`export`, `play`) did: the
// one-line summary at its end, the JSON object of --json (the totals, then
// a record per entry taken up), both from the entries' outcomes, and the
// exit code that says the same.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_index.h"
#include "jobs/entry_outcome.h"
#include "jobs/job_window.h"
#include "jobs/row_list.h"
#include "text/catalogue.h"

namespace kowaki::cli {

struct RunReport {
  const char* command = "";  // "export" or "play"
  std::string archive;       // its path
  const ArchiveIndex* index = nullptr;
  const RowList* list = nullptr;  // the rows, for each entry's length
  int32_t selected = 0;
  const std::vector<EntryOutcome>* entries = nullptr;  // those taken up, in order
  // Of those, the ones the job counts as done or kept: an export's merge
  // file that cannot be finished undoes them all.
  int32_t succeeded = 0;
  bool interrupted = false;
  std::chrono::steady_clock::duration elapsed{};
  std::string output;  // the output format and where it came from; empty for play
};

// A run stopped before its job (while the archive was listed): the job's
// end messages for the selected rows, all of them left; returns their count.
int32_t EndBeforeJob(JobWindow& window, Text failed_text, Text stopped_text);

// "3 files written, 1 skipped, 0 failed; 1.2 MB in 0.4 s; wav, ... (the stored settings)"
std::string SummaryLine(const RunReport& report);
// The end of a run on the terminal: the summary unless quiet, the JSON
// object when asked for. Returns the exit code: 130 after a stop, 0 when
// every selected entry was taken up and done whole or kept, 1 otherwise
// (an entry written damaged among them).
int EndRun(const RunReport& report, bool json);

}  // namespace kowaki::cli
