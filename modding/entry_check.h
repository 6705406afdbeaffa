#pragma once
// An entry decoded to its end, to tell whether the game can play it: what
// `verify` reports, and what a clip must pass before it goes into an
// archive.

#include <cstdint>

#include "archive/archive_index.h"
#include "jobs/entry_problem.h"

namespace kowaki {

struct EntryCheck {
  // What is wrong with the entry: not audio, not Ogg Vorbis, damaged (its
  // pages, or no page near its end), cut short, a length other than its
  // last page gives, a read that failed, an archive changed since it was
  // loaded. Several may hold at once.
  ProblemSet problems;
  ProblemFacts facts;
  bool ok() const { return problems.empty(); }
};

EntryCheck CheckEntry(const ArchiveIndex* index, int32_t i);

}  // namespace kowaki
