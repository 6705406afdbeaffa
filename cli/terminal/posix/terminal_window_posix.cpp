#include <sys/stat.h>
#include <unistd.h>

#include "cli/terminal/terminal_window.h"
#include "common/cp932.h"

namespace kowaki::cli::platform {

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    mkdir(path.substr(0, slash).c_str(), 0777);
    if (slash == std::string::npos) break;
  }
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Names become UTF-8 here, as the user reads them in `list`. A byte that
// decodes to no character is written "%XX" like the other escapes of the
// safe name, not "\xNN".
std::string PathInFolder(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  const std::string decoded = Cp932ToUtf8(name);
  for (size_t at = 0; at < decoded.size(); ++at) {
    const bool escape = decoded.compare(at, 2, "\\x") == 0;
    path += escape ? '%' : decoded[at];
    at += escape ? 1 : 0;
  }
  return path;
}

}  // namespace kowaki::cli::platform
