#pragma once
// One archive entry's bytes seen as a file of their own: position 0 is the
// entry's first byte and the end of the file is the entry's end (or the
// archive's, when the entry claims more bytes than the archive holds). The four
// functions have the shapes of the Vorbis decoder's read, seek, close and
// tell callbacks; the decoder owns the stream once ov_open_callbacks has
// succeeded and closes it in ov_clear.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "archive/archive_index.h"

namespace kowaki {

// How far a page is looked for: back from an entry's end (FindLastPage),
// and by the decoder from where it seeks to (EntryRead). A page takes at
// most 65,307 bytes, so a whole stream has one within any 64 KiB; the rest
// allows for junk after a stream's last page or between two links while
// bounding what a damaged entry costs.
inline constexpr int64_t kPageWindow = int64_t{1} << 20;

// How much a stream reads from the file at a time. The decoder asks for 2 KiB
// at once, and each read of the file is a call into the system (under Wine a
// round trip to its server); one read of 64 KiB holds a typical voice clip
// whole.
inline constexpr size_t kReadAhead = size_t{64} << 10;

struct EntryStream {
  int fd;              // the stream's own descriptor of the archive the index holds open
  ArchiveEntry entry;  // a copy: the stream outlives nothing it points into
  // Where the entry's bytes really end: offset + size, or the end of the
  // file if that comes first. A damaged index can give an entry gigabytes
  // the file does not have, and the decoder would scan them all backwards
  // looking for its last page. Opened for decoding, the stream ends with
  // its last page (OpenStreamVorbis).
  int64_t end;
  int64_t position;  // in the file; reads take it along, so streams share the file
  bool cut_short;    // the file ends before the entry does
  // After a seek the decoder looks for a page: the bytes it was handed
  // since without a capture pattern, and whether they passed kPageWindow,
  // after which nothing reads (EntryRead).
  bool searching;
  int64_t unpaged;
  bool search_refused;
  // The bytes last read ahead: `cached` of them from file position `cached_from`.
  std::unique_ptr<unsigned char[]> cache;
  int64_t cached_from;
  size_t cached;
};

// Closes the stream's descriptor and frees it, as EntryClose does.
struct EntryStreamDeleter {
  void operator()(EntryStream* stream) const;
};
using EntryStreamPtr = std::unique_ptr<EntryStream, EntryStreamDeleter>;

// Reads up to `size` bytes from file position `from`, never past the
// stream's end, through its read-ahead; the stream's position stays. The
// count read, or -1 when the file cannot be read.
int64_t EntryReadAt(EntryStream& stream, int64_t from, void* destination, size_t size);

// Null for an entry number outside the index, on allocation failure, or
// when the archive cannot be read. Streams read the file the index holds
// open, so they read the archive that was listed.
EntryStreamPtr OpenEntryStream(const ArchiveIndex* index, int32_t i);

// Whether the entry claims bytes beyond the end of the file: its data was
// cut short.
inline bool EntryCutShort(const EntryStream& stream) { return stream.cut_short; }

// Whole items only, never past the entry's end; 0 at the end. A failed read
// (and every read once a search went too far) yields (size_t)-1 / item_size,
// which the decoder takes as a read error.
size_t EntryRead(void* destination, size_t item_size, size_t item_count, void* stream);

// whence SEEK_SET: from the entry's start, SEEK_CUR: from the current
// position, SEEK_END: from the entry's end. 0 for those three whatever the
// file system said, -1 and nothing moved for any other whence, and for
// every seek once a search went too far.
int EntrySeek(void* stream, int64_t offset, int whence);

// The decoder's close callback; an EntryStreamPtr goes the same way.
int EntryClose(void* stream);

// The position relative to the entry's start, wrapped to 32 bits.
long EntryTell(void* stream);

}  // namespace kowaki
