#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/terminal/input_file.h"
#include "text/catalogue.h"

namespace kowaki::cli::platform {

std::FILE* OpenInputFile(const std::string& path, std::string* error) {
  // Non-blocking, a FIFO opens at once and fstat tells what it is.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = std::strerror(errno);
    return nullptr;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 ||
      !(S_ISREG(info.st_mode) || S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))) {
    *error = Say(S_ISDIR(info.st_mode) ? Text::kInputIsFolder : Text::kInputNotAFile);
    close(fd);
    return nullptr;
  }
  // Reads of a device wait for their data.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = fdopen(fd, "rb");
  if (!file) {
    *error = std::strerror(errno);
    close(fd);
  }
  return file;
}

}  // namespace kowaki::cli::platform
