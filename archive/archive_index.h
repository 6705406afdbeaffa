#pragma once
// The voice archive's index: a 16-byte header, then a table of 17-byte
// entry records; the entries' data follows, addressed by absolute offsets.
// All integers are unsigned 32-bit little-endian.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kowaki {

inline constexpr uint32_t kArchiveVersion = 1;
inline constexpr uint32_t kArchiveTableOffset = 16;
inline constexpr uint32_t kArchiveMaxEntries = 0x100000;
inline constexpr size_t kArchiveHeaderSize = 16;
inline constexpr size_t kArchiveRecordSize = 17;
inline constexpr size_t kArchiveNameSize = 9;  // at most 8 bytes and a zero

struct ArchiveEntry {
  char name[kArchiveNameSize];  // zero-terminated, as stored
  uint32_t size;
  uint32_t offset;  // from the start of the file
};

// The index, its copy of the path and its table live in one heap block.
struct ArchiveIndex {
  char* path;
  uint32_t header_word;
  int32_t count;
  ArchiveEntry* entries;  // `count` records in file order
};

// Reads and validates the index of the archive at `path`. Null when the file
// cannot be opened or read or is not a valid archive; the file is closed
// again in every case and nothing is left allocated on failure.
ArchiveIndex* LoadArchiveIndex(const char* path);

void FreeArchiveIndex(ArchiveIndex* index);

// An entry's name: its bytes up to the terminating zero, at most 8.
std::string_view EntryName(const ArchiveEntry& entry);
// The name of entry number `entry`; empty when the index has no such entry.
std::string_view EntryName(const ArchiveIndex* index, int32_t entry);

}  // namespace kowaki
