#include <windows.h>

#include <io.h>

#include "cli/terminal/terminal_window.h"
#include "common/win32/code_pages.h"

namespace kowaki::cli::platform {

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

bool MakeFolders(const std::string& path) {
  for (size_t cut = path.find_first_of("\\/", 1);; cut = path.find_first_of("\\/", cut + 1)) {
    CreateDirectoryW(win32::Wide(path.substr(0, cut)).c_str(), nullptr);
    if (cut == std::string::npos) break;
  }
  const DWORD attributes = GetFileAttributesW(win32::Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A name's bytes are read as code page 932 whatever the system's code page,
// so a file gets the name a Japanese system gives it. The separator always
// goes in: a last byte 0x5C may be half of a character.
std::string PathInFolder(std::string_view folder, std::string_view name) {
  return std::string(folder) + "\\" + win32::Cp932Text(name);
}

}  // namespace kowaki::cli::platform
