#pragma once
// Builds a voice archive: the inverse of LoadArchiveIndex. Entries keep the
// order they were added in; their data follows the table back to back.
// The archive appears only when complete (see common/output_file.h).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kowaki {

class ArchiveWriter {
 public:
  // A name is 1 to 8 bytes without a zero byte. False with a message when
  // the name is unusable, the archive is full, or the file cannot be read.
  bool AddFile(std::string_view name, const std::string& path, std::string* error);
  bool AddBytes(std::string_view name, std::string bytes, std::string* error);

  // Any value whose top byte is 0; the loader keeps it and nothing uses it.
  bool set_header_word(uint32_t word, std::string* error);

  // Writes the archive to `path`. On failure nothing is left at `path`
  // (an existing file there stays as it was).
  bool Write(const std::string& path, std::string* error) const;

  size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    std::string name;
    std::string path;   // read at Write time, when set
    std::string bytes;  // otherwise the data itself
    uint64_t size;
  };
  bool CheckName(std::string_view name, std::string* error) const;

  std::vector<Entry> entries_;
  uint32_t header_word_ = 0;
};

}  // namespace kowaki
