#pragma once
// An entry's last Ogg page, found from its end within kPageWindow. The
// decoder finds it by itself, reading backwards in 64 KiB steps, each from
// the step's start up to the same end: over a long run of bytes that hold
// no page (a damaged entry, a sparse file) that reads the run once for
// every step. Found here first, the decoder sees the entry end with it and
// reads one step; an entry with no page near its end is not handed to the
// decoder at all.

#include <cstdint>

#include "archive/entry_stream.h"
#include "common/result.h"

namespace kowaki {

struct LastPage {
  int64_t end = 0;           // where it ends, a file position as EntryStream::end
  bool ends_stream = false;  // it is an end-of-stream page
};

// Why an entry's bytes were not found as asked.
enum class OggScanError {
  kNoPage,      // no whole page (capture pattern, header and checksum) lies in kPageWindow
  kReadFailed,  // the archive could not be read
};

// The last whole page in the stream's last kPageWindow bytes. Reads by
// position: the stream's own position stays.
Result<LastPage, OggScanError> FindLastPage(EntryStream& stream);

// Whether the entry's first bytes are an Ogg page's capture pattern.
Result<bool, OggScanError> StartsAsOgg(EntryStream& stream);

}  // namespace kowaki
