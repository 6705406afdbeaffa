#pragma once
// What became of an entry a job took up, and why when it went wrong. The
// window's messages only count failures; the terminal names each one.

#include <cstdint>

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
};

struct EntryOutcome {
  int32_t entry = -1;
  bool ok = false;
  EntryProblem problem = EntryProblem::kNone;
  int system_error = 0;
};

}  // namespace kowaki
