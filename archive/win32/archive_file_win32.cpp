#include <fcntl.h>
#include <io.h>
#include <share.h>

#include <climits>

#include "archive/archive_file.h"

namespace kowaki::archive_file {

int OpenShared(const char* path) { return _sopen(path, _O_RDONLY | _O_BINARY, _SH_DENYNO); }

int64_t Seek(int fd, int64_t offset, int whence) { return _lseeki64(fd, offset, whence); }

int64_t Read(int fd, void* destination, size_t size) {
  // _read takes at most INT_MAX bytes at a time.
  auto* out = static_cast<unsigned char*>(destination);
  size_t done = 0;
  while (done < size) {
    size_t chunk = size - done;
    if (chunk > INT_MAX) chunk = INT_MAX;
    int n = _read(fd, out + done, static_cast<unsigned>(chunk));
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

void Close(int fd) { _close(fd); }

}  // namespace kowaki::archive_file
