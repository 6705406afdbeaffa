#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/scratch_file.h"

namespace kowaki {

namespace {

std::string TempFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder && *folder == '/' ? folder : "/tmp";
}

}  // namespace

std::FILE* OpenScratchFile() {
  const std::string folder = TempFolder();
  int fd = -1;
#ifdef O_TMPFILE
  fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
  if (fd < 0) {
    // A name only until it is unlinked, a moment later.
    std::string pattern = folder + "/kowaki-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    unlink(name.data());
  }
  std::FILE* file = fdopen(fd, "w+b");
  if (!file) close(fd);
  return file;
}

}  // namespace kowaki
