#include <windows.h>

#include <io.h>

#include <cerrno>
#include <cstring>

#include "cli/terminal/input_file.h"
#include "common/win32/code_pages.h"
#include "text/catalogue.h"

namespace kowaki::cli::platform {

// Opening a pipe never waits here, but reading one would.
std::FILE* OpenInputFile(const std::string& path, std::string* error) {
  std::FILE* file = _wfopen(win32::Wide(path).c_str(), L"rb");
  if (!file) {
    *error = std::strerror(errno);
    return nullptr;
  }
  const DWORD type = GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
  if (type != FILE_TYPE_DISK && type != FILE_TYPE_CHAR) {
    *error = Say(Text::kInputNotAFile);
    std::fclose(file);
    return nullptr;
  }
  return file;
}

}  // namespace kowaki::cli::platform
