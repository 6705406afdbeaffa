#include <windows.h>

#include <io.h>

#include <cerrno>
#include <cstring>

#include "cli/terminal/input_file.h"
#include "common/win32/code_pages.h"
#include "text/catalogue.h"

namespace kowaki::cli::platform {

// Opening a pipe never waits here, but reading one would.
Result<InputFilePtr> OpenInputFile(const std::string& path) {
  InputFilePtr file(_wfopen(win32::Wide(path).c_str(), L"rb"));
  if (!file) return Failure{std::strerror(errno), errno};
  const DWORD type = GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file.get()))));
  if (type != FILE_TYPE_DISK && type != FILE_TYPE_CHAR) return Failure{Say(Text::kInputNotAFile)};
  return file;
}

}  // namespace kowaki::cli::platform
