#pragma once
// Scratch folders and files for tests, and archives built byte by byte.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_index.h"

struct OggVorbis_File;

namespace kowaki::test {

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of `name` (UTF-8) inside the folder, as the UTF-8 string the
  // core's functions take on every system.
  std::string File(std::string_view name) const;
  std::vector<std::string> List() const;  // names in the folder (UTF-8), sorted

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);
// Takes every write permission from a file or folder (on Windows: marks a
// file read-only), or gives it back.
void SetReadOnly(const std::string& path, bool read_only);

#if defined(_WIN32)
// `path` held open as another program may hold it: reading and writing
// shared, its removal not.
class HeldOpen {
 public:
  explicit HeldOpen(const std::string& path);
  ~HeldOpen();
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;

 private:
  void* handle_;
};
#endif

// A raw archive image: a header with the given fields followed by `table`
// (records written by Record) and `data`.
std::string ArchiveHeader(uint32_t version, uint32_t header_word, uint32_t count,
                          uint32_t table_offset);
std::string Record(std::string_view name9, uint32_t size, uint32_t offset);

// The archive at `path`; null when it does not load.
inline ArchiveIndexPtr LoadIndex(const std::string& path) {
  return LoadArchiveIndex(path.c_str()).value_or(nullptr);
}

// A short Ogg Vorbis clip of the synthetic voice.
std::string VorbisClip(int rate, int channels, double seconds, int serial = 1);

// Ogg Vorbis bytes as libvorbisfile decodes them: the first stream's
// format and nominal bitrate and all of its 16-bit samples; no channels
// when the bytes do not open.
struct DecodedVorbis {
  long rate = 0;
  int channels = 0;
  long nominal_bitrate = 0;
  std::vector<int16_t> samples;
};
DecodedVorbis DecodeVorbis(std::string_view ogg);
// What an open decoder gives from where it stands to its end, as 16-bit
// PCM bytes.
std::string ReadPcm(OggVorbis_File* vf);

}  // namespace kowaki::test
