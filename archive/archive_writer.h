#pragma once
// Builds a voice archive: the inverse of LoadArchiveIndex. Entries keep the
// order they were added in; their data follows the table back to back.
// The archive appears only when complete (see common/output_file.h).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_index.h"

namespace kowaki {

class OutputFile;

// A record's name bytes as stored: the name up to its first zero, and
// whatever the rest of the eight bytes held (an archive's own names are
// kept whole). The ninth, terminating byte is always zero.
using NameField = std::array<char, kArchiveNameSize - 1>;
NameField NameFieldOf(const ArchiveEntry& entry);

class ArchiveWriter {
 public:
  // A name is 1 to 8 bytes without a zero byte. False with a message when
  // the name is unusable, the archive is full, or the file cannot be read.
  bool AddFile(std::string_view name, const std::string& path, std::string* error);
  bool AddBytes(std::string_view name, std::string bytes, std::string* error);
  // The same with the name field as it is to be stored.
  bool AddFile(const NameField& field, const std::string& path, std::string* error);
  bool AddBytes(const NameField& field, std::string bytes, std::string* error);
  // Entry `entry` of `index`, its data read through an entry stream when
  // the archive is written; the index must outlive the writing. False when
  // the entry's data is not all in the file.
  bool AddEntry(const NameField& field, const ArchiveIndex* index, int32_t entry,
                std::string* error);

  // Any value whose top byte is 0; the loader keeps it and nothing uses it.
  bool set_header_word(uint32_t word, std::string* error);

  // Writes the archive to `path`. On failure nothing is left at `path`
  // (an existing file there stays as it was).
  bool Write(const std::string& path, std::string* error) const;
  // Writes the archive into `out`, opened by the caller and not committed:
  // the caller decides when it takes the destination's place.
  bool WriteInto(OutputFile& out, std::string* error) const;

  size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    NameField field;
    std::string path;                     // read at Write time, when set
    const ArchiveIndex* index = nullptr;  // or an entry of this archive, when set
    int32_t entry = -1;
    std::string bytes;  // otherwise the data itself
    uint64_t size;
  };
  bool CheckName(std::string_view name, std::string* error) const;
  bool CheckRoom(std::string* error) const;
  std::string Head(std::string* error) const;

  std::vector<Entry> entries_;
  uint32_t header_word_ = 0;
};

}  // namespace kowaki
