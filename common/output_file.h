#pragma once
// Output files, and what may stand where one goes.
//
// A file is written to a temporary beside its destination, and Commit()
// renames it over the destination. Destroying an uncommitted OutputFile
// removes the temporary (so does a signal that ends the process, see
// common/temp_files.h; common/leftovers.h names temporaries and removes
// those of killed runs), so an error or an interruption never leaves a
// half-written file behind. The file it replaces keeps its permissions,
// and its owner where the system allows (see CreateTempBeside).
// A stream (a pipe, a terminal, a device, standard output) is written in
// place instead: renaming over it would replace it.
//
// No output is an input marked in common/input_files.h: one written in
// place never is, one replaced whole never a kept one.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "common/input_files.h"
#include "common/result.h"

namespace kowaki {

enum class OutputPlace {
  // A name made inside a folder (an export's file per entry): a missing
  // name is created and an ordinary file replaced; a link or any other
  // kind of file there is refused, and nothing is written through a link.
  kInFolder,
  // A name the user gave: a link is followed, its final target replaced
  // and the link kept; a stream is written in place; "-" is standard
  // output.
  kNamed,
};

namespace platform {
enum class PathKind { kNone, kFile, kFolder, kDevice, kLink };
}  // namespace platform

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Fails ("PATH: why", with the system's error when it gave one) when
  // nothing can be written there, also for an existing file that could
  // not be replaced (CanReplace) or a folder no file can be made in
  // (CanCreateIn): found before any work is done.
  Result<> Open(const std::string& path, OutputPlace place);
  bool Write(const void* data, size_t size);
  // Pushes buffered bytes out, so that a full disk shows where it struck.
  bool Flush();
  // Moves the write position, for patching a header after the data; not
  // for a stream.
  bool Seek(uint64_t position);
  // Cuts the file back to its first `size` bytes and goes on writing there;
  // whatever a failed write left buffered is dropped. A device keeps what
  // it took: false.
  bool Truncate(uint64_t size);
  // Flushes, closes and renames onto the destination.
  Result<> Commit();
  // For a command that learns its inputs only after its output is open:
  // whether the output writes over one of those marked since.
  Result<> CheckInputs() const;
  // Throws the temporary away (a stream keeps what it took).
  void Discard();

  bool is_open() const { return file_ != nullptr; }
  // Written in place rather than through a temporary.
  bool in_place() const { return is_open() && temp_path_.empty(); }
  // Cannot seek back to where it began: a header must be final when it
  // is first written.
  bool is_stream() const { return is_open() && stream_; }
  const std::string& path() const { return path_; }

 private:
  Result<> OpenNamed();
  Result<> OpenAt(const std::string& target, platform::PathKind kind, OutputPlace place);
  Result<> OpenTemporary(const std::string& destination);
  Result<> OpenInPlace(std::FILE* file);
  Failure Refuse(const std::string& reason) const;
  // Removes the temporary, or only forgets it once it was renamed.
  void DropTemporary();
  void ForgetTemporary();

  std::FILE* file_ = nullptr;
  std::string path_;         // as given
  std::string destination_;  // what the temporary is renamed onto
  std::string temp_path_;    // empty while writing in place
  int temp_slot_ = -1;
  bool stream_ = false;
};

// Whether the ordinary file at `path` (the name itself, a link not
// followed) could be replaced; fails with why not: it is a kept input, it
// has other names (hard links), which would keep the old contents, it is
// read-only, or on Windows another program holds it open without sharing
// its removal. Succeeds when no ordinary file is there.
Result<> CanReplace(const std::string& path);
// Whether a file can be made in the existing `folder`; fails with why
// not: no write permission (a folder without any write bit counts as
// read-only even for root). Succeeds when there is no such folder.
Result<> CanCreateIn(const std::string& folder);

// Platform layer, one implementation per system.
namespace platform {
// What the system alone says of CanReplace: read-only, or held.
Result<> CanReplaceFile(const std::string& path);
// What `path` names, links followed (never kLink).
PathKind KindOfPath(const std::string& path);
// What stands at `path` itself: kLink for a link.
PathKind KindOfName(const std::string& path);
// The final target of `path`'s links (`path` itself when it is none).
// Sets `descriptor` to the descriptor of ours the path names
// (/dev/stdout, /dev/fd/N, /proc/self/fd/N), else -1. False for a loop.
bool FollowLinks(const std::string& path, std::string* target, int* descriptor);
// Creates and opens a new, empty file with a temporary's name beside
// `path`; none in a folder CanCreateIn refuses. When it will replace a
// file there, it gets that file's permissions, owner and group where the
// system lets us set them, and on Linux its access ACL and user
// attributes. (Windows keeps a replaced file's attributes and security at
// the rename.)
std::FILE* CreateTempBeside(const std::string& path, std::string* temp_path);
// True when both paths exist and name the same file, however spelt.
bool SameFile(const std::string& a, const std::string& b);
// Opens an existing device, pipe or terminal for writing, as it is.
std::FILE* OpenInPlace(const std::string& path);
// Opens our own temporary again for reading and writing, at its start.
std::FILE* ReopenForUpdate(const std::string& path);
// A new stream on a copy of our descriptor `descriptor`, in binary.
std::FILE* OpenDescriptor(int descriptor);
// What `file` is open on.
std::optional<FileFacts> FactsOfFile(std::FILE* file);
// Whether `file` is an ordinary file at its start, written at where it
// is (not appended to): one whose start can be written again.
bool CanSeekBack(std::FILE* file);
// Renames `from` onto `to`, replacing `to` if it exists.
bool RenameOnto(const std::string& from, const std::string& to);
bool Seek64(std::FILE* file, uint64_t position);
// Sets the size of an open file.
bool TruncateFile(std::FILE* file, uint64_t size);
}  // namespace platform

}  // namespace kowaki
