#pragma once
// Low-level access to the archive file with 64-bit positions. Every open is
// read-only, binary and shares the file with any other reader or writer, so
// the loader and any number of entry streams can hold it at once.

#include <cstddef>
#include <cstdint>

namespace kowaki::archive_file {

// A file descriptor, or -1.
int OpenShared(const char* path);
// Moves the position; returns the new position from the start, or -1.
int64_t Seek(int fd, int64_t offset, int whence);
// Reads up to `size` bytes; returns the count read, or -1 on error.
int64_t Read(int fd, void* destination, size_t size);
void Close(int fd);

}  // namespace kowaki::archive_file
