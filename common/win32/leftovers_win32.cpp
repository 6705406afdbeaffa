#include <windows.h>

#include <memory>

#include "common/leftovers.h"
#include "common/win32/code_pages.h"

namespace kowaki::platform {

namespace {

using win32::Wide;

// Vista's right to ask a process its times, which any user has.
constexpr DWORD kQueryLimited = 0x1000;
constexpr uint64_t kTicksPerSecond = 10000000;  // FILETIME's 100 ns
constexpr uint64_t kStartSlack = 2 * kTicksPerSecond;

uint64_t Ticks(const FILETIME& time) {
  return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// Whether no process could still be writing a file last written at
// `written`: none has the ID, it has ended, or it started later. A
// process we may not ask (before Vista, another user's) is alive.
bool ProcessGone(uint32_t pid, uint64_t written) {
  const OwnedHandle process(OpenProcess(kQueryLimited, FALSE, pid));
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  FILETIME created, ended, kernel, user;
  if (GetExitCodeProcess(process.get(), &code) && code != STILL_ACTIVE) return true;
  return GetProcessTimes(process.get(), &created, &ended, &kernel, &user) &&
         Ticks(created) > written + kStartSlack;
}

}  // namespace

uint32_t ProcessId() { return GetCurrentProcessId(); }

std::string FolderOf(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return ".";
  return path.substr(0, separator == 0 || path[separator - 1] == ':' ? separator + 1 : separator);
}

void ForEachName(const std::string& folder, const std::function<void(const std::string&)>& visit) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(Wide(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    visit(win32::Utf8(found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

void RemoveIfLeftover(const std::string& folder, const std::string& name, uint32_t pid) {
  const std::wstring path = Wide(folder + "\\" + name);
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    return;
  }
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const uint64_t written = Ticks(info.ftLastWriteTime);
  if (Ticks(now) < written + kLeftoverSeconds * kTicksPerSecond || !ProcessGone(pid, written)) {
    return;
  }
  DeleteFileW(path.c_str());
}

}  // namespace kowaki::platform
