#pragma once
// What became of an entry a job took up, and why when it went wrong. The
// window's messages only count failures; the terminal names each one.

#include <cstdint>
#include <string>

namespace kowaki {

enum class EntryProblem : uint8_t {
  kNone,
  kArchiveChanged,    // the archive was written to since it was listed
  kCutShort,          // the entry runs past the end of the archive
  kNotVorbis,         // no Ogg Vorbis stream
  kReadFailed,        // the archive could not be read (`system_error`)
  kCannotConvert,     // no conversion from its format to the output's
  kTooLarge,          // more audio than a WAV file's sizes hold
  kCannotOpenOutput,  // its output file could not be created
  kWriteFailed,       // the output could not be written (`system_error`)
  kKept,              // its file existed and was kept: the entry was skipped
  kNoPlayer,          // the sound device took no player for its format
};

struct EntryOutcome {
  int32_t entry = -1;
  bool ok = false;
  EntryProblem problem = EntryProblem::kNone;
  int system_error = 0;
  std::string path;    // the file it went to, when it has one
  uint64_t bytes = 0;  // what it put there: a copy's bytes, a WAV entry's audio data
};

}  // namespace kowaki
