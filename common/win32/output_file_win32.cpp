#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <optional>

#include "common/input_files.h"
#include "common/leftovers.h"
#include "common/output_file.h"
#include "common/win32/code_pages.h"
#include "text/catalogue.h"

namespace kowaki {

// Paths are UTF-8; the wide calls take them, so any name opens whatever
// code page the system is set to.

namespace {

using win32::Wide;

// A handle on an existing file or folder, the link itself when `path` is
// one; null when there is none.
struct Probe {
  explicit Probe(const std::string& path, DWORD access = 0, DWORD flags = 0)
      : handle(CreateFileW(Wide(path).c_str(), access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr)) {}
  ~Probe() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;
  bool exists() const { return handle != INVALID_HANDLE_VALUE; }

  HANDLE handle;
};

platform::PathKind KindOfHandle(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info)) {
    return platform::PathKind::kDevice;
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return platform::PathKind::kLink;
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? platform::PathKind::kFolder
                                                            : platform::PathKind::kFile;
}

// GetFinalPathNameByHandleW came with Vista, as did links to files.
using FinalPathFunction = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

std::string FinalPath(const std::string& path) {
  const auto final_path = reinterpret_cast<FinalPathFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
  const Probe target(path);
  wchar_t buffer[MAX_PATH * 4];
  if (!final_path || !target.exists()) return {};
  const DWORD length = final_path(target.handle, buffer, MAX_PATH * 4, 0);
  if (length == 0 || length >= MAX_PATH * 4) return {};
  std::string result = win32::Utf8({buffer, length});
  // "\\?\C:\..." reads as "C:\...", "\\?\UNC\server\..." as "\\server\...".
  if (result.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + result.substr(8);
  if (result.rfind("\\\\?\\", 0) == 0) return result.substr(4);
  return result;
}

// A named pipe's name: opening one, even to ask what it is, would take the
// instance its reader waits for.
bool IsPipeName(const std::string& path) {
  std::string start = path.substr(0, 9);
  for (char& c : start) {
    c = c == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return start == "\\\\.\\pipe\\" || start == "\\\\?\\pipe\\";
}

std::optional<platform::FileFacts> FactsOfHandle(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) {
    return std::nullopt;
  }
  return platform::FileFacts{
      .id = {info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow},
      .links = info.nNumberOfLinks};
}

}  // namespace

namespace platform {

Result<> CanReplaceFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    return {};
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) return Failure{Say(Text::kOutputReadOnly)};
  // Replacing takes the right to delete it, which a program holding it
  // open without sharing that denies.
  const Probe deletable(path, DELETE, FILE_FLAG_OPEN_REPARSE_POINT);
  if (!deletable.exists() && GetLastError() == ERROR_SHARING_VIOLATION) {
    return Failure{Say(Text::kOutputInUse), ERROR_SHARING_VIOLATION};
  }
  return {};
}

}  // namespace platform

// The folder's read-only attribute says nothing about its files; making
// one (gone again when closed) is the one sure test.
Result<> CanCreateIn(const std::string& folder) {
  const DWORD attributes = GetFileAttributesW(Wide(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  char name[64];
  std::snprintf(name, sizeof name, "\\kowaki-probe-%lx.tmp", GetCurrentProcessId());
  const HANDLE probe =
      CreateFileW(Wide(folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    const DWORD failure = GetLastError();
    if (failure == ERROR_FILE_EXISTS) return {};
    return Failure{Say(Text::kOutputTakesNoFile), static_cast<int>(failure)};
  }
  CloseHandle(probe);
  return {};
}

namespace platform {

std::optional<FileFacts> FactsOfPath(const std::string& path, bool follow_links) {
  if (IsPipeName(path)) return std::nullopt;
  const Probe probe(path, 0, follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  return FactsOfHandle(probe.handle);
}

std::optional<FileFacts> FactsOfDescriptor(int fd) {
  return FactsOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
}

std::optional<FileFacts> FactsOfFile(std::FILE* file) { return FactsOfDescriptor(_fileno(file)); }

PathKind KindOfPath(const std::string& path) {
  const Probe probe(path);
  if (!probe.exists()) return PathKind::kNone;
  const PathKind kind = KindOfHandle(probe.handle);
  return kind == PathKind::kLink ? PathKind::kFile : kind;
}

PathKind KindOfName(const std::string& path) {
  const Probe probe(path, 0, FILE_FLAG_OPEN_REPARSE_POINT);
  return probe.exists() ? KindOfHandle(probe.handle) : PathKind::kNone;
}

bool FollowLinks(const std::string& path, std::string* target, int* descriptor) {
  *descriptor = -1;
  *target = path;
  if (KindOfName(path) != PathKind::kLink) return true;
  const std::string final_path = FinalPath(path);
  if (!final_path.empty()) *target = final_path;
  return true;
}

// Removal shared: a temporary can be removed while it is still open.
std::FILE* CreateTempBeside(const std::string& path, std::string* temp_path) {
  const size_t separator = path.find_last_of("\\/");
  const std::string prefix = separator == std::string::npos ? "" : path.substr(0, separator + 1);
  const std::string file_name = path.substr(prefix.size());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = prefix + TemporaryName(file_name);
    const HANDLE handle =
        CreateFileW(Wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD failure = GetLastError();
      if (failure == ERROR_FILE_EXISTS) continue;
      errno = failure == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
      return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    std::FILE* file = fd < 0 ? nullptr : _fdopen(fd, "wb");
    if (!file) {
      if (fd < 0) CloseHandle(handle);
      if (fd >= 0) _close(fd);
      DeleteFileW(Wide(name).c_str());
      return nullptr;
    }
    *temp_path = name;
    return file;
  }
  return nullptr;
}

std::FILE* OpenInPlace(const std::string& path) { return _wfopen(Wide(path).c_str(), L"wb"); }

std::FILE* ReopenForUpdate(const std::string& path) { return _wfopen(Wide(path).c_str(), L"r+b"); }

std::FILE* OpenDescriptor(int descriptor) {
  const int fd = _dup(descriptor);
  if (fd < 0) return nullptr;
  _setmode(fd, _O_BINARY);
  std::FILE* file = _fdopen(fd, "wb");
  if (!file) _close(fd);
  return file;
}

bool CanSeekBack(std::FILE* file) {
  const int fd = _fileno(file);
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK &&
         _telli64(fd) == 0;
}

// ReplaceFileW gives the new file the replaced one's attributes, security
// and streams; a file that is not there yet is moved into place.
bool RenameOnto(const std::string& from, const std::string& to) {
  const std::wstring source = Wide(from);
  const std::wstring target = Wide(to);
  if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES &&
      ReplaceFileW(target.c_str(), source.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                   nullptr, nullptr)) {
    return true;
  }
  if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  errno = EACCES;
  return false;
}

bool Seek64(std::FILE* file, uint64_t position) {
  return _fseeki64(file, static_cast<__int64>(position), SEEK_SET) == 0;
}

bool TruncateFile(std::FILE* file, uint64_t size) {
  return std::fflush(file) == 0 && _chsize_s(_fileno(file), static_cast<__int64>(size)) == 0;
}

}  // namespace platform

}  // namespace kowaki
