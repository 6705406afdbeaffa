#include <windows.h>

#include <io.h>

#include <cerrno>
#include <cstring>

#include "cli/input_file.h"

namespace kowaki::cli::platform {

// Opening a pipe never waits here, but reading one would.
std::FILE* OpenInputFile(const std::string& path, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    *error = std::strerror(errno);
    return nullptr;
  }
  const DWORD type = GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
  if (type != FILE_TYPE_DISK && type != FILE_TYPE_CHAR) {
    *error = "not a regular file or a device";
    std::fclose(file);
    return nullptr;
  }
  return file;
}

}  // namespace kowaki::cli::platform
