#pragma once
// The voice archive's index: a 16-byte header, then a table of 17-byte
// entry records; the entries' data follows, addressed by absolute offsets.
// All integers are unsigned 32-bit little-endian.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "archive/archive_file.h"
#include "common/result.h"

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
// The index keeps the archive open: every entry is read from the file that
// was listed, even once another file has taken its name.
struct ArchiveIndex {
  char* path;
  uint32_t header_word;
  int32_t count;
  ArchiveEntry* entries;            // `count` records in file order
  int fd;                           // the archive, open for reading at any position
  archive_file::Identity identity;  // the file as it was loaded
};

// Why an archive could not be loaded, with the numbers that tell how.
struct ArchiveLoadError {
  enum class Cause {
    kNone,
    kCannotOpen,      // the system's error in `system_error` (not found, no access...)
    kFolder,          // the path names a folder
    kNotAFile,        // a pipe, terminal or other device
    kTooShort,        // fewer than the header's 16 bytes
    kVersion,         // `value`: the version word (1 expected)
    kHeaderWordTop,   // `value`: the header word's top byte (0 expected)
    kTooManyEntries,  // `value`: the entry count (at most 1,048,576)
    kTableOffset,     // `value`: the table offset (16 expected)
    kShortTable,      // `value`: the file's size; `needed`: what the table takes
    kNameUnended,     // `value`: the entry whose name has no terminating zero
    kReadError,       // the system's error in `system_error`
    kNoMemory,
  };
  Cause cause = Cause::kNone;
  uint64_t value = 0;
  uint64_t needed = 0;
  int system_error = 0;
};

// Closes the archive and frees the index's block.
struct ArchiveIndexDeleter {
  void operator()(ArchiveIndex* index) const;
};
using ArchiveIndexPtr = std::unique_ptr<ArchiveIndex, ArchiveIndexDeleter>;
using ArchiveLoad = Result<ArchiveIndexPtr, ArchiveLoadError>;

// Reads and validates the index of the archive at `path`. Fails with why
// when the file cannot be opened or read or is not a valid archive;
// nothing is left open or allocated then.
ArchiveLoad LoadArchiveIndex(const char* path);

// A file of its own seen as an archive of one entry, unnamed, holding the
// whole file: a clip that is to go into an archive is read as its entries
// are. Fails as LoadArchiveIndex.
ArchiveLoad LoadFileAsEntry(const char* path);

// Whether the archive's file is still as it was loaded. A file written in
// place since gives other bytes at the index's offsets.
bool ArchiveUnchanged(const ArchiveIndex* index);

// An entry's name: its bytes up to the terminating zero, at most 8.
std::string_view EntryName(const ArchiveEntry& entry);
// The name of entry number `entry`; empty when the index has no such entry.
std::string_view EntryName(const ArchiveIndex* index, int32_t entry);

}  // namespace kowaki
