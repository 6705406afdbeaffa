#pragma once
// The listing job: fills the window's list with every entry of the index
// that opens as Ogg Vorbis (name, size, seconds, channels, rate), with the
// entry's number as the row's stored value. What it reads of each entry,
// and the texts of a row's columns, serve faces that list the rows first
// and their facts as they come (kowaki-cli browse).

#include <cstdint>
#include <functional>
#include <string>

#include "archive/archive_index.h"
#include "jobs/app_state.h"
#include "jobs/entry_problem.h"
#include "text/catalogue.h"

namespace kowaki {

// The list's column titles, left to right.
inline constexpr Text kColumnTitles[] = {Text::kColumnName, Text::kColumnSize, Text::kColumnSeconds,
                                         Text::kColumnChannels, Text::kColumnRate};

// The worker procedure.
void ListingJob(AppState* state);

// What listing an entry finds: its facts, or why it does not open.
struct EntryFacts {
  EntryProblem problem = EntryProblem::kNone;
  RowFacts facts;
  bool playable() const { return problem == EntryProblem::kNone; }
};

// Opens entry `entry` of `index` to read its facts. Any thread.
EntryFacts ReadEntryFacts(const ArchiveIndex* index, int32_t entry);

// Reads every entry's facts on `threads` threads and hands each to `found`
// on the calling thread, in entry order, while `keep_going` says so.
void ListEntries(const ArchiveIndex* index, int32_t threads,
                 const std::function<bool()>& keep_going,
                 const std::function<void(int32_t entry, const EntryFacts& facts)>& found);

// The text of column 1 to 4 (size, seconds, channels, rate) of a row for
// an entry of `size` bytes.
std::string ColumnText(int column, uint32_t size, const RowFacts& facts);

// A byte count for the size column: bytes up to 1024, then K, M and G with
// two decimals, truncated ("1.99 K" for 2047).
std::string FormatSize(uint32_t size);

}  // namespace kowaki
