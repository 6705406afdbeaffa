#pragma once
// Builds a voice archive: the inverse of LoadArchiveIndex. Entries keep the
// order they were added in; their data follows the table back to back.
// The archive appears only when complete (see common/output_file.h).

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_index.h"
#include "common/result.h"

namespace kowaki {

class OutputFile;

// A record's name bytes as stored: the name up to its first zero, and
// whatever the rest of the eight bytes held (an archive's own names are
// kept whole). The ninth, terminating byte is always zero.
using NameField = std::array<char, kArchiveNameSize - 1>;
NameField NameFieldOf(const ArchiveEntry& entry);

class ArchiveWriter {
 public:
  // A name is 1 to 8 bytes without a zero byte. Fails with a message when
  // the name is unusable, the archive is full, or the file cannot be read.
  Result<> AddFile(std::string_view name, const std::string& path);
  Result<> AddBytes(std::string_view name, std::string bytes);
  // The same with the name field as it is to be stored.
  Result<> AddFile(const NameField& field, const std::string& path);
  Result<> AddBytes(const NameField& field, std::string bytes);
  // Entry `entry` of `index`, its data read through an entry stream when
  // the archive is written; the index must outlive the writing. Fails when
  // the entry's data is not all in the file.
  Result<> AddEntry(const NameField& field, const ArchiveIndex* index, int32_t entry);

  // Any value whose top byte is 0; the loader keeps it and nothing uses it.
  Result<> set_header_word(uint32_t word);

  // Writes the archive to `path`. On failure nothing is left at `path`
  // (an existing file there stays as it was).
  Result<> Write(const std::string& path) const;
  // Writes the archive into `out`, opened by the caller and not committed:
  // the caller decides when it takes the destination's place.
  Result<> WriteInto(OutputFile& out) const;

  size_t size() const { return entries_.size(); }

  // Once `*running` is cleared (Ctrl-C), writing stops before the next
  // entry and fails: the destination stays as it was.
  void stop_when_cleared(const std::atomic<int32_t>* running) { running_ = running; }

 private:
  struct Entry {
    NameField field;
    std::string path;                     // read at Write time, when set
    const ArchiveIndex* index = nullptr;  // or an entry of this archive, when set
    int32_t entry = -1;
    std::string bytes;  // otherwise the data itself
    uint64_t size;
  };
  Result<> CheckName(std::string_view name) const;
  Result<> CheckRoom() const;
  Result<std::string> Head() const;

  std::vector<Entry> entries_;
  uint32_t header_word_ = 0;
  const std::atomic<int32_t>* running_ = nullptr;
};

}  // namespace kowaki
