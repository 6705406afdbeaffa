#include <windows.h>

#include <io.h>

#include "cli/terminal_window.h"

namespace kowaki::cli::platform {

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

bool MakeFolders(const std::string& path) {
  for (size_t cut = path.find_first_of("\\/", 1);; cut = path.find_first_of("\\/", cut + 1)) {
    CreateDirectoryA(path.substr(0, cut).c_str(), nullptr);
    if (cut == std::string::npos) break;
  }
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// File names keep the names' own bytes: the ANSI code page reads them. The
// separator always goes in: a last byte 0x5C may be half of a character.
std::string PathInFolder(std::string_view folder, std::string_view name) {
  return std::string(folder) + "\\" + std::string(name);
}

}  // namespace kowaki::cli::platform
