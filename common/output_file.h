#pragma once
// A file that appears under its final name only when it is complete.
//
// Everything is written to a temporary file in the destination's folder;
// Commit() renames it over the destination. Destroying an uncommitted
// OutputFile removes the temporary, so an error or an interruption never
// leaves a half-written file behind, and the destination may be one of the
// inputs. A device or pipe (/dev/null, NUL) is written straight instead:
// renaming over it would replace the device.

#include <cstdint>
#include <cstdio>
#include <string>

namespace kowaki {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Creates the temporary beside `path`, or opens the device `path` is.
  // False (with `error`) on failure, and for a folder.
  bool Open(const std::string& path, std::string* error);
  bool Write(const void* data, size_t size);
  // Pushes buffered bytes out, so that a full disk shows where it struck.
  bool Flush();
  // Moves the write position, for patching a header after the data. A
  // device may refuse.
  bool Seek(uint64_t position);
  // Cuts the file back to its first `size` bytes and goes on writing there;
  // whatever a failed write left buffered is dropped. A device keeps what
  // it took: false.
  bool Truncate(uint64_t size);
  // Flushes, closes and renames onto the destination.
  bool Commit(std::string* error);
  // Throws the temporary away (a device keeps what it took).
  void Discard();

  bool is_open() const { return file_ != nullptr; }
  bool is_device() const { return is_open() && temp_path_.empty(); }
  const std::string& path() const { return path_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  std::string temp_path_;  // empty while writing a device
};

// Platform layer, one implementation per system.
namespace platform {
enum class PathKind { kNone, kFile, kFolder, kDevice };
PathKind KindOfPath(const std::string& path);
// True when both paths exist and name the same file, however spelt.
bool SameFile(const std::string& a, const std::string& b);
// Creates and opens a new, empty file with a unique name beside `path`.
std::FILE* CreateTempBeside(const std::string& path, std::string* temp_path);
// Renames `from` onto `to`, replacing `to` if it exists.
bool RenameOnto(const std::string& from, const std::string& to);
bool Seek64(std::FILE* file, uint64_t position);
// Sets the size of an open file.
bool TruncateFile(std::FILE* file, uint64_t size);
}  // namespace platform

}  // namespace kowaki
