#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <climits>
#include <mutex>
#include <unordered_map>

#include "archive/archive_file.h"
#include "common/win32/code_pages.h"

namespace kowaki::archive_file {

namespace {

HANDLE NativeHandle(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    default:
      return EIO;
  }
}

}  // namespace

// `path` is UTF-8, as every path in the Windows build.
int OpenShared(const char* path, OpenError* error) {
  const std::wstring wide = win32::Wide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (error) *error = {OpenFailure::kFolder, 0};
    return -1;
  }
  // Shared for deleting too: while the window holds an archive, the game's
  // updater may still replace or remove it.
  const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const int fd = handle == INVALID_HANDLE_VALUE
                     ? -1
                     : _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    const int system_error = handle == INVALID_HANDLE_VALUE ? ErrnoOf(GetLastError()) : errno;
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    if (error) *error = {OpenFailure::kSystem, system_error};
    return -1;
  }
  // Consoles, pipes and other devices are no archive.
  if (GetFileType(NativeHandle(fd)) != FILE_TYPE_DISK) {
    _close(fd);
    if (error) *error = {OpenFailure::kNotAFile, 0};
    return -1;
  }
  return fd;
}

namespace {

// Descriptors handed out more than once, with how many holders each has
// beyond the first. A real duplicate costs a round trip to Wine's server
// to make, another to close and a third at its first read, for every entry
// a job opens; reads here take their position with them, so holders can
// share one descriptor as they would share a duplicate's file position.
std::mutex shares_lock;
std::unordered_map<int, int>& Shares() {
  static std::unordered_map<int, int> shares;
  return shares;
}

}  // namespace

int Duplicate(int fd) {
  if (NativeHandle(fd) == INVALID_HANDLE_VALUE) return -1;
  const std::lock_guard<std::mutex> hold(shares_lock);
  ++Shares()[fd];
  return fd;
}

int64_t Seek(int fd, int64_t offset, int whence) { return _lseeki64(fd, offset, whence); }

int64_t Read(int fd, void* destination, size_t size) {
  // _read takes at most INT_MAX bytes at a time.
  auto* out = static_cast<unsigned char*>(destination);
  size_t done = 0;
  while (done < size) {
    size_t chunk = size - done;
    if (chunk > INT_MAX) chunk = INT_MAX;
    int n = _read(fd, out + done, static_cast<unsigned>(chunk));
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

// ReadFile with its own offset leaves other readers' positions alone.
int64_t ReadAt(int fd, uint64_t offset, void* destination, size_t size) {
  const HANDLE file = NativeHandle(fd);
  auto* out = static_cast<unsigned char*>(destination);
  size_t done = 0;
  while (done < size) {
    const uint64_t at = offset + done;
    OVERLAPPED where = {};
    where.Offset = static_cast<DWORD>(at);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD chunk = size - done > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size - done);
    DWORD got = 0;
    if (!ReadFile(file, out + done, chunk, &got, &where)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  return static_cast<int64_t>(done);
}

void Close(int fd) {
  {
    const std::lock_guard<std::mutex> hold(shares_lock);
    const auto shared = Shares().find(fd);
    if (shared != Shares().end()) {
      if (--shared->second == 0) Shares().erase(shared);
      return;
    }
  }
  _close(fd);
}

// Size and time alone: GetFileInformationByHandle also asks for the
// volume's serial number, which under Wine is a round trip to its mount
// manager, and this runs for every entry a job opens.
bool Identify(int fd, Identity* identity) {
  const HANDLE file = NativeHandle(fd);
  LARGE_INTEGER size;
  FILETIME written;
  if (!GetFileSizeEx(file, &size) || !GetFileTime(file, nullptr, nullptr, &written)) return false;
  identity->size = static_cast<uint64_t>(size.QuadPart);
  identity->modified =
      static_cast<int64_t>((uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime);
  return true;
}

}  // namespace kowaki::archive_file
