#include <windows.h>

#include <memory>

#include "common/win32/code_pages.h"
#include "modding/folder.h"
#include "text/catalogue.h"

namespace kowaki {

// Windows takes '/' too, but shows '\' between folders.
std::string PathInFolder(std::string_view folder, std::string_view file) {
  std::string path(folder);
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  for (const char c : file) path += c == '/' ? '\\' : c;
  return path;
}

namespace platform {

namespace {
struct FindCloser {
  void operator()(HANDLE find) const { FindClose(find); }
};
}  // namespace

Result<std::vector<std::string>> FileNamesIn(const std::string& folder) {
  WIN32_FIND_DATAW found;
  const HANDLE first = FindFirstFileW(win32::Wide(PathInFolder(folder, "*")).c_str(), &found);
  if (first == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return Failure{WithSystemError(folder, static_cast<int>(error)), static_cast<int>(error)};
  }
  const std::unique_ptr<void, FindCloser> listing(first);
  std::vector<std::string> names;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    names.push_back(win32::Utf8(found.cFileName));
  } while (FindNextFileW(first, &found));
  return names;
}

bool HardLink(const std::string& from, const std::string& to) {
  return CreateHardLinkW(win32::Wide(to).c_str(), win32::Wide(from).c_str(), nullptr) != FALSE;
}

bool NamesIgnoreCase() { return true; }

}  // namespace platform

}  // namespace kowaki
