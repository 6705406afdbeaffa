#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/terminal/input_file.h"
#include "text/catalogue.h"

namespace kowaki::cli::platform {

namespace {

Failure SystemFailure(int error) { return Failure{std::strerror(error), error}; }

}  // namespace

Result<InputFilePtr> OpenInputFile(const std::string& path) {
  // Non-blocking, a FIFO opens at once and fstat tells what it is.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return SystemFailure(errno);
  struct stat info;
  if (fstat(fd, &info) != 0) {
    const int error = errno;
    close(fd);
    return SystemFailure(error);
  }
  if (!(S_ISREG(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))) {
    close(fd);
    return Failure{Say(S_ISDIR(info.st_mode) ? Text::kInputIsFolder : Text::kInputNotAFile)};
  }
  // Reads of a device wait for their data.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  InputFilePtr file(fdopen(fd, "rb"));
  if (!file) {
    const int error = errno;
    close(fd);
    return SystemFailure(error);
  }
  return file;
}

}  // namespace kowaki::cli::platform
