#include "archive/entry_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "archive/archive_file.h"

namespace kowaki {

namespace {

EntryStream* AsStream(void* stream) { return static_cast<EntryStream*>(stream); }

}  // namespace

EntryStream* OpenEntryStream(const ArchiveIndex* index, int32_t i) {
  if (!index || i < 0 || i >= index->count) return nullptr;
  auto* stream = static_cast<EntryStream*>(std::calloc(1, sizeof(EntryStream)));
  if (!stream) return nullptr;
  stream->entry = index->entries[i];
  stream->fd = archive_file::OpenShared(index->path);
  if (stream->fd < 0) {
    std::free(stream);
    return nullptr;
  }
  const int64_t start = stream->entry.offset;
  const int64_t file_size = archive_file::Seek(stream->fd, 0, SEEK_END);
  stream->end = start + int64_t{stream->entry.size};
  if (file_size >= 0 && file_size < stream->end) stream->end = std::max(file_size, start);
  // Unchecked: every read asks where it is and stays within the entry.
  archive_file::Seek(stream->fd, start, SEEK_SET);
  return stream;
}

size_t EntryRead(void* destination, size_t item_size, size_t item_count, void* stream) {
  EntryStream* s = AsStream(stream);
  if (item_size == 0 || item_count == 0) return 0;
  const int64_t position = archive_file::Seek(s->fd, 0, SEEK_CUR);
  if (position < 0) return static_cast<size_t>(-1) / item_size;
  // A position before the entry (the seek does not clamp) reads from there
  // up to the entry's end; one beyond the end reads nothing.
  const int64_t remaining = s->end - position;
  if (remaining <= 0) return 0;
  const uint64_t whole_items = static_cast<uint64_t>(remaining) / item_size;
  const size_t n = whole_items < item_count ? static_cast<size_t>(whole_items) : item_count;
  if (n == 0) return 0;
  const int64_t got = archive_file::Read(s->fd, destination, item_size * n);
  if (got < 0) return static_cast<size_t>(-1) / item_size;
  return static_cast<size_t>(got) / item_size;
}

int EntrySeek(void* stream, int64_t offset, int whence) {
  EntryStream* s = AsStream(stream);
  switch (whence) {
    case SEEK_SET:
      archive_file::Seek(s->fd, int64_t{s->entry.offset} + offset, SEEK_SET);
      return 0;
    case SEEK_CUR:
      archive_file::Seek(s->fd, offset, SEEK_CUR);
      return 0;
    case SEEK_END:
      archive_file::Seek(s->fd, s->end + offset, SEEK_SET);
      return 0;
    default:
      return -1;
  }
}

int EntryClose(void* stream) {
  EntryStream* s = AsStream(stream);
  archive_file::Close(s->fd);
  std::memset(s, 0, sizeof *s);
  std::free(s);
  return 0;
}

long EntryTell(void* stream) {
  EntryStream* s = AsStream(stream);
  const int64_t position = archive_file::Seek(s->fd, 0, SEEK_CUR);
  // The decoder's tell callback returns a long, which is 32 bits on Windows;
  // wrapping alike everywhere gives the decoder the same positions on every
  // build.
  return static_cast<int32_t>(static_cast<uint32_t>(position - int64_t{s->entry.offset}));
}

}  // namespace kowaki
