#include <windows.h>

#include "jobs/export_file.h"

namespace kowaki::platform {

PathKind KindOfPath(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return PathKind::kNone;
  PathKind kind = PathKind::kDevice;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info)) {
    kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kFolder : PathKind::kFile;
  }
  CloseHandle(handle);
  return kind;
}

}  // namespace kowaki::platform
