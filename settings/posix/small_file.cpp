#include "settings/posix/small_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kowaki {

namespace {
// Far more than our settings, a prefix's user.reg or a library list hold.
constexpr off_t kMaxFileSize = off_t{32} << 20;
}  // namespace

Result<std::string, SmallFileError> ReadSmallFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? SmallFileError::kMissing : SmallFileError::kRefused;
  struct stat info;
  const bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxFileSize;
  std::string text;
  if (ok) {
    text.resize(static_cast<size_t>(info.st_size));
    size_t got = 0;
    while (got < text.size()) {
      const ssize_t n = read(fd, text.data() + got, text.size() - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    text.resize(got);
  }
  close(fd);
  if (!ok) return SmallFileError::kRefused;
  return text;
}

}  // namespace kowaki
