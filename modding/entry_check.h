#pragma once
// An entry decoded to its end, to tell whether the game can play it: what
// `verify` reports, and what a clip must pass before it goes into an
// archive.

#include <cstdint>
#include <optional>

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
// A loose file (LoadFileAsEntry) checked as the clip it is meant to be:
// one of no Ogg data may well be audio (a WAV recording, say), so what it
// is not is Ogg Vorbis.
EntryCheck CheckClipFile(const ArchiveIndex* file);

// A clip's audio as the game plays it: its first stream's rate and
// channels, its length in sample frames and its nominal bitrate (the
// average where the stream names none).
struct ClipShape {
  uint32_t rate = 0;
  uint16_t channels = 0;
  int64_t frames = 0;
  int64_t bitrate = 0;
  bool operator==(const ClipShape&) const = default;
};

// Entry `i`'s shape; none when it does not open as Ogg Vorbis (errno may
// say why).
std::optional<ClipShape> ShapeOfEntry(const ArchiveIndex* index, int32_t i);

}  // namespace kowaki
