#include "archive/archive_index.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "archive/archive_file.h"
#include "common/little_endian.h"

namespace kowaki {

namespace {

// Layout of the one block: the index, the path copy padded to the entries'
// alignment, then the table. The raw records are read into the table's tail
// (17 bytes each against 20 widened), so widening front to back never
// overwrites a record that has not been converted yet.
size_t PathRoom(size_t path_length) {
  constexpr size_t align = alignof(ArchiveEntry);
  return (path_length + 1 + align - 1) / align * align;
}

size_t BlockSize(size_t path_length, uint32_t count) {
  return sizeof(ArchiveIndex) + PathRoom(path_length) + size_t{count} * sizeof(ArchiveEntry);
}

static_assert(sizeof(ArchiveEntry) >= kArchiveRecordSize,
              "widened records must not be smaller than the raw ones");

void ReleaseBlock(void* block, size_t size) {
  std::memset(block, 0, size);
  std::free(block);
}

struct Header {
  uint32_t header_word;
  uint32_t count;
};

using Cause = ArchiveLoadError::Cause;

ArchiveLoadError Fail(Cause cause, uint64_t value = 0, uint64_t needed = 0, int system_error = 0) {
  return {cause, value, needed, system_error};
}

// Reads the 16-byte header and checks its fields in the order they come.
Result<Header, ArchiveLoadError> ReadHeader(int fd) {
  unsigned char header[kArchiveHeaderSize];
  const int64_t got = archive_file::Read(fd, header, sizeof header);
  if (got < 0) return Fail(Cause::kReadError, 0, 0, errno);
  if (got != static_cast<int64_t>(sizeof header)) return Fail(Cause::kTooShort);
  const uint32_t version = ReadLe32(header);
  const uint32_t header_word = ReadLe32(header + 4);
  const uint32_t count = ReadLe32(header + 8);
  const uint32_t table_offset = ReadLe32(header + 12);
  if (version != kArchiveVersion) return Fail(Cause::kVersion, version);
  if (header[7] != 0) return Fail(Cause::kHeaderWordTop, header[7]);
  if (count > kArchiveMaxEntries) return Fail(Cause::kTooManyEntries, count);
  if (table_offset != kArchiveTableOffset) return Fail(Cause::kTableOffset, table_offset);
  return Header{header_word, count};
}

// Opens the archive for the index to keep, when it can be read as a file.
Result<int, ArchiveLoadError> OpenArchive(const char* path) {
  if (!path) return ArchiveLoadError{};
  archive_file::OpenError why;
  const int fd = archive_file::OpenShared(path, &why);
  if (fd >= 0) return fd;
  switch (why.failure) {
    case archive_file::OpenFailure::kFolder:
      return Fail(Cause::kFolder);
    case archive_file::OpenFailure::kNotAFile:
      return Fail(Cause::kNotAFile);
    default:
      return Fail(Cause::kCannotOpen, 0, 0, why.system_error);
  }
}

// Reads the raw table into `raw`; fails, with why, when the file holds less.
Result<void, ArchiveLoadError> ReadTable(int fd, unsigned char* raw, size_t table_size) {
  const int64_t got = archive_file::ReadAt(fd, kArchiveTableOffset, raw, table_size);
  if (got < 0) return Fail(Cause::kReadError, 0, 0, errno);
  if (got == static_cast<int64_t>(table_size)) return {};
  return Fail(Cause::kShortTable, kArchiveTableOffset + static_cast<uint64_t>(got),
              kArchiveTableOffset + uint64_t{table_size});
}

// The index's block until the load has finished: a load that fails
// halfway frees it.
struct BlockOwner {
  unsigned char* block;
  size_t size;
  ~BlockOwner() {
    if (block) ReleaseBlock(block, size);
  }
};

// Fills in the index at the head of the block; its table is still to come.
ArchiveIndex* LayOutBlock(unsigned char* block, const char* path, size_t path_length,
                          const Header& header) {
  auto* index = reinterpret_cast<ArchiveIndex*>(block);
  index->path = reinterpret_cast<char*>(block + sizeof(ArchiveIndex));
  std::memcpy(index->path, path, path_length + 1);
  index->header_word = header.header_word;
  index->count = static_cast<int32_t>(header.count);
  index->entries =
      reinterpret_cast<ArchiveEntry*>(block + sizeof(ArchiveIndex) + PathRoom(path_length));
  return index;
}

// Widens the raw records into `entries`, front to back; fails at the first
// name without its terminating zero.
Result<void, ArchiveLoadError> WidenRecords(const unsigned char* raw, ArchiveEntry* entries,
                                            uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    // The last few records overlap their own widened form: take every field
    // out of the record before writing any of it.
    const unsigned char* record = raw + size_t{i} * kArchiveRecordSize;
    char name[kArchiveNameSize - 1];
    std::memcpy(name, record, sizeof name);
    const unsigned char terminator = record[kArchiveNameSize - 1];
    const uint32_t size = ReadLe32(record + 9);
    const uint32_t offset = ReadLe32(record + 13);
    if (terminator != 0) return Fail(Cause::kNameUnended, i);
    ArchiveEntry& entry = entries[i];
    std::memcpy(entry.name, name, sizeof name);
    entry.name[kArchiveNameSize - 1] = 0;
    entry.size = size;
    entry.offset = offset;
  }
  return {};
}

}  // namespace

ArchiveLoad LoadArchiveIndex(const char* path) {
  const auto opened = OpenArchive(path);
  if (!opened) return opened.failure();
  archive_file::Handle file(*opened);
  const auto header = ReadHeader(file.fd());
  if (!header) return header.failure();

  const size_t path_length = std::strlen(path);
  const size_t block_size = BlockSize(path_length, header->count);
  BlockOwner owner{static_cast<unsigned char*>(std::malloc(block_size)), block_size};
  if (!owner.block) return Fail(Cause::kNoMemory);
  ArchiveIndex* index = LayOutBlock(owner.block, path, path_length, *header);

  const size_t table_size = size_t{header->count} * kArchiveRecordSize;
  unsigned char* raw = owner.block + block_size - table_size;
  if (auto read = ReadTable(file.fd(), raw, table_size); !read) return read.failure();
  if (auto widened = WidenRecords(raw, index->entries, header->count); !widened) {
    return widened.failure();
  }
  if (!archive_file::Identify(file.fd(), &index->identity)) {
    return Fail(Cause::kReadError, 0, 0, errno);
  }
  index->fd = file.Release();
  owner.block = nullptr;
  return ArchiveIndexPtr(index);
}

ArchiveLoad LoadFileAsEntry(const char* path) {
  const auto opened = OpenArchive(path);
  if (!opened) return opened.failure();
  archive_file::Handle file(*opened);
  archive_file::Identity identity;
  if (!archive_file::Identify(file.fd(), &identity)) return Fail(Cause::kReadError, 0, 0, errno);
  const size_t path_length = std::strlen(path);
  const size_t block_size = BlockSize(path_length, 1);
  auto* block = static_cast<unsigned char*>(std::calloc(1, block_size));
  if (!block) return Fail(Cause::kNoMemory);
  ArchiveIndex* index = LayOutBlock(block, path, path_length, {0, 1});
  // Larger than an entry can be: only its first 4 GiB would be read.
  index->entries[0].size = static_cast<uint32_t>(std::min<uint64_t>(identity.size, UINT32_MAX));
  index->identity = identity;
  index->fd = file.Release();
  return ArchiveIndexPtr(index);
}

bool ArchiveUnchanged(const ArchiveIndex* index) {
  archive_file::Identity now;
  return index && archive_file::Identify(index->fd, &now) && now == index->identity;
}

std::string_view EntryName(const ArchiveEntry& entry) {
  return std::string_view(entry.name, strnlen(entry.name, kArchiveNameSize));
}

std::string_view EntryName(const ArchiveIndex* index, int32_t entry) {
  if (!index || entry < 0 || entry >= index->count) return {};
  return EntryName(index->entries[entry]);
}

void ArchiveIndexDeleter::operator()(ArchiveIndex* index) const {
  archive_file::Close(index->fd);
  ReleaseBlock(index, BlockSize(std::strlen(index->path), static_cast<uint32_t>(index->count)));
}

}  // namespace kowaki
