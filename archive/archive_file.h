#pragma once
// Low-level access to the archive file with 64-bit positions. Every open is
// read-only, binary and shares the file with any other reader or writer.
// Reads take their position with them, so any number of readers, on any
// threads, may share one open file.

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kowaki::archive_file {

// Why an open failed.
enum class OpenFailure {
  kNone,
  kSystem,    // the system's error, in `system_error`
  kFolder,    // the path names a folder
  kNotAFile,  // a pipe, socket, terminal or other device that is not a disk
};
struct OpenError {
  OpenFailure failure = OpenFailure::kNone;
  int system_error = 0;
};

// A file descriptor, or -1. Only what reads as a file opens: a regular
// file or a block device. Anything else is refused without waiting on it
// (a pipe with no writer would block for ever).
int OpenShared(const char* path, OpenError* error = nullptr);
// Another holder of the same open file, or -1: a descriptor of its own
// (POSIX) or the same one counted (Windows), closed by Close either way.
// Holders share the file's position.
int Duplicate(int fd);
// Moves the position, `whence` being SEEK_SET, SEEK_CUR or SEEK_END;
// returns the new position from the start, or -1.
int64_t Seek(int fd, int64_t offset, int whence);
// Reads up to `size` bytes at the position; returns the count read, or -1
// on error.
int64_t Read(int fd, void* destination, size_t size);
// Reads up to `size` bytes from `offset` without using or moving the
// position; returns the count read, or -1 on error.
int64_t ReadAt(int fd, uint64_t offset, void* destination, size_t size);
void Close(int fd);

// What tells one state of a file from another: its size and the time of
// its last change. A file written in place changes one or both.
struct Identity {
  uint64_t size = 0;
  int64_t modified = 0;  // in the system's own units
  bool operator==(const Identity&) const = default;
};
bool Identify(int fd, Identity* identity);

// Owns a descriptor from OpenShared and closes it at the end of its scope,
// so that no early return leaves the file open.
class Handle {
 public:
  explicit Handle(int fd) : fd_(fd) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  explicit operator bool() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Hands the descriptor over; the handle no longer closes it.
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes the file before the scope ends.
  void Close() {
    if (fd_ >= 0) archive_file::Close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

}  // namespace kowaki::archive_file
