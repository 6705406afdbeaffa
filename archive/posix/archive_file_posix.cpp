#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "archive/archive_file.h"

namespace kowaki::archive_file {

int OpenShared(const char* path) {
  int fd;
  do {
    fd = ::open(path, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int64_t Seek(int fd, int64_t offset, int whence) {
  return ::lseek(fd, static_cast<off_t>(offset), whence);
}

int64_t Read(int fd, void* destination, size_t size) {
  // read() may return less than asked without reaching the end; keep going
  // so callers see one read as the whole read.
  auto* out = static_cast<unsigned char*>(destination);
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::read(fd, out + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

void Close(int fd) { ::close(fd); }

}  // namespace kowaki::archive_file
