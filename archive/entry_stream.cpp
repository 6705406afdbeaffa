#include "archive/entry_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

#include "archive/archive_file.h"

namespace kowaki {

namespace {

EntryStream* AsStream(void* stream) { return static_cast<EntryStream*>(stream); }

// After a seek the decoder looks for a page: backwards from a position, by
// reading from 64 KiB before it up to it, then from 128 KiB before it, and
// so on; forwards from a guess, when it bisects the links of chained
// streams. Over a long run that holds no page either reads the run again
// for every step. Handed kPageWindow bytes without a capture pattern, the
// search is looking through damage: it is refused, and the stream reads
// nothing after it. Reading on from a page (decoding) is no search.
bool SearchGoesOn(EntryStream* s, const void* bytes, size_t size) {
  if (!s->searching) return true;
  const std::string_view read(static_cast<const char*>(bytes), size);
  if (read.find("OggS") != std::string_view::npos) {
    s->searching = false;
    return true;
  }
  s->unpaged += static_cast<int64_t>(size);
  s->search_refused = s->unpaged > kPageWindow;
  return !s->search_refused;
}

}  // namespace

EntryStreamPtr OpenEntryStream(const ArchiveIndex* index, int32_t i) {
  if (!index || i < 0 || i >= index->count) return nullptr;
  auto* stream = new (std::nothrow) EntryStream{};
  if (!stream) return nullptr;
  stream->cache.reset(new (std::nothrow) unsigned char[kReadAhead]);
  stream->entry = index->entries[i];
  // A descriptor of its own, so that the stream outlives the index.
  stream->fd = stream->cache ? archive_file::Duplicate(index->fd) : -1;
  if (stream->fd < 0) {
    delete stream;
    return nullptr;
  }
  const int64_t start = stream->entry.offset;
  const auto file_size = static_cast<int64_t>(index->identity.size);
  stream->end = start + int64_t{stream->entry.size};
  stream->cut_short = file_size < stream->end;
  if (stream->cut_short) stream->end = std::max(file_size, start);
  stream->position = start;
  return EntryStreamPtr(stream);
}

// Served from the bytes read ahead when they hold the whole request; a
// request they do not hold is read ahead from its start, unless it is as
// large as the read-ahead itself.
int64_t EntryReadAt(EntryStream& s, int64_t from, void* destination, size_t size) {
  if (from >= s.end) return 0;
  size = static_cast<size_t>(std::min<uint64_t>(size, static_cast<uint64_t>(s.end - from)));
  if (size == 0) return 0;
  const bool held =
      from >= s.cached_from && static_cast<uint64_t>(from - s.cached_from) + size <= s.cached;
  if (!held && size >= kReadAhead) {
    return archive_file::ReadAt(s.fd, static_cast<uint64_t>(from), destination, size);
  }
  if (!held) {
    const auto ahead = static_cast<size_t>(std::min<int64_t>(kReadAhead, s.end - from));
    const int64_t got =
        archive_file::ReadAt(s.fd, static_cast<uint64_t>(from), s.cache.get(), ahead);
    s.cached = 0;
    if (got < 0) return -1;
    s.cached_from = from;
    s.cached = static_cast<size_t>(got);
  }
  const size_t offset = static_cast<size_t>(from - s.cached_from);
  const size_t n = std::min(size, s.cached - offset);
  std::memcpy(destination, s.cache.get() + offset, n);
  return static_cast<int64_t>(n);
}

size_t EntryRead(void* destination, size_t item_size, size_t item_count, void* stream) {
  EntryStream* s = AsStream(stream);
  if (item_size == 0 || item_count == 0) return 0;
  if (s->search_refused) return static_cast<size_t>(-1) / item_size;
  // A position before the entry (the seek does not clamp) reads from there
  // up to the entry's end; one beyond the end reads nothing.
  const int64_t remaining = s->end - s->position;
  if (remaining <= 0) return 0;
  const uint64_t whole_items = static_cast<uint64_t>(remaining) / item_size;
  const size_t n = whole_items < item_count ? static_cast<size_t>(whole_items) : item_count;
  if (n == 0) return 0;
  const int64_t got = EntryReadAt(*s, s->position, destination, item_size * n);
  if (got < 0 || !SearchGoesOn(s, destination, static_cast<size_t>(got))) {
    return static_cast<size_t>(-1) / item_size;
  }
  s->position += got;
  return static_cast<size_t>(got) / item_size;
}

// A position before the file's start is refused, as the file system would.
int EntrySeek(void* stream, int64_t offset, int whence) {
  EntryStream* s = AsStream(stream);
  if (s->search_refused) return -1;
  int64_t base;
  switch (whence) {
    case SEEK_SET:
      base = s->entry.offset;
      break;
    case SEEK_CUR:
      base = s->position;
      break;
    case SEEK_END:
      base = s->end;
      break;
    default:
      return -1;
  }
  if (offset >= -base && offset <= std::numeric_limits<int64_t>::max() - base) {
    s->position = base + offset;
  }
  s->searching = true;
  s->unpaged = 0;
  return 0;
}

int EntryClose(void* stream) {
  EntryStream* s = AsStream(stream);
  archive_file::Close(s->fd);
  delete s;
  return 0;
}

void EntryStreamDeleter::operator()(EntryStream* stream) const { EntryClose(stream); }

long EntryTell(void* stream) {
  EntryStream* s = AsStream(stream);
  const int64_t position = s->position;
  // The decoder's tell callback returns a long, which is 32 bits on Windows;
  // wrapping alike everywhere gives the decoder the same positions on every
  // build.
  return static_cast<int32_t>(static_cast<uint32_t>(position - int64_t{s->entry.offset}));
}

}  // namespace kowaki
