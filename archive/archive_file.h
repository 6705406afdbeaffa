#pragma once
// Low-level access to the archive file with 64-bit positions. Every open is
// read-only, binary and shares the file with any other reader or writer, so
// the loader and any number of entry streams can hold it at once.

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kowaki::archive_file {

// A file descriptor, or -1.
int OpenShared(const char* path);
// Moves the position, `whence` being SEEK_SET, SEEK_CUR or SEEK_END;
// returns the new position from the start, or -1.
int64_t Seek(int fd, int64_t offset, int whence);
// Reads up to `size` bytes; returns the count read, or -1 on error.
int64_t Read(int fd, void* destination, size_t size);
void Close(int fd);

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
  // Closes the file before the scope ends.
  void Close() {
    if (fd_ >= 0) archive_file::Close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

}  // namespace kowaki::archive_file
