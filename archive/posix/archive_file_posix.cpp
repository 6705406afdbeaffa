#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "archive/archive_file.h"

namespace kowaki::archive_file {

namespace {

int Refuse(int fd, OpenError* error, OpenFailure failure, int system_error = 0) {
  ::close(fd);
  if (error) *error = {failure, system_error};
  return -1;
}

}  // namespace

int OpenShared(const char* path, OpenError* error) {
  int fd;
  // Non-blocking, so that a pipe is seen for what it is instead of waited on.
  do {
    fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (error) *error = {OpenFailure::kSystem, errno};
    return -1;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0) return Refuse(fd, error, OpenFailure::kSystem, errno);
  if (S_ISDIR(info.st_mode)) return Refuse(fd, error, OpenFailure::kFolder);
  if (!S_ISREG(info.st_mode) && !S_ISBLK(info.st_mode)) {
    return Refuse(fd, error, OpenFailure::kNotAFile);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

int Duplicate(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); }

int64_t Seek(int fd, int64_t offset, int whence) {
  return ::lseek(fd, static_cast<off_t>(offset), whence);
}

// read() and pread() may return less than asked without reaching the end;
// keep going so callers see one read as the whole read.
template <typename ReadSome>
int64_t ReadAll(void* destination, size_t size, ReadSome read_some) {
  auto* out = static_cast<unsigned char*>(destination);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = read_some(out + done, size - done, done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int64_t Read(int fd, void* destination, size_t size) {
  return ReadAll(destination, size,
                 [fd](unsigned char* out, size_t n, size_t) { return ::read(fd, out, n); });
}

int64_t ReadAt(int fd, uint64_t offset, void* destination, size_t size) {
  return ReadAll(destination, size, [fd, offset](unsigned char* out, size_t n, size_t done) {
    return ::pread(fd, out, n, static_cast<off_t>(offset + done));
  });
}

void Close(int fd) { ::close(fd); }

bool Identify(int fd, Identity* identity) {
  struct stat info;
  if (::fstat(fd, &info) != 0) return false;
  identity->size = static_cast<uint64_t>(info.st_size);
#if defined(__APPLE__)
  const struct timespec& changed = info.st_mtimespec;
#else
  const struct timespec& changed = info.st_mtim;
#endif
  identity->modified = int64_t{changed.tv_sec} * 1000000000 + changed.tv_nsec;
  return true;
}

}  // namespace kowaki::archive_file
