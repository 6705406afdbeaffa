#pragma once
// An entry decoded to its end, to tell whether the game can play it: what
// `verify` reports, and what a clip must pass before it goes into an
// archive.

#include <cstdint>

#include "archive/archive_index.h"

namespace kowaki {

struct EntryCheck {
  // What is wrong with the entry; several may hold at once.
  enum Problem : uint8_t {
    kNotVorbis = 1,       // no Ogg Vorbis stream opens there
    kDamaged = 2,         // damaged pages: stepped over, or the decoding stopped at one
    kCutShort = 4,        // the data ends before the stream does
    kLengthDiffers = 8,   // decodes to another length than its last page gives
    kReadFailed = 16,     // the archive could not be read
    kArchiveChanged = 32  // the archive was written to since it was loaded
  };
  uint8_t problems = 0;
  int damage = 0;         // damaged places met
  int64_t decoded = 0;    // sample frames decoded
  int64_t expected = -1;  // sample frames the stream's last page gives
  int system_error = 0;
  bool ok() const { return problems == 0; }
};

EntryCheck CheckEntry(const ArchiveIndex* index, int32_t i);

}  // namespace kowaki
