#include <sys/stat.h>

#include "jobs/export_file.h"

namespace kowaki::platform {

PathKind KindOfPath(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return PathKind::kNone;
  if (S_ISDIR(info.st_mode)) return PathKind::kFolder;
  return S_ISREG(info.st_mode) ? PathKind::kFile : PathKind::kDevice;
}

}  // namespace kowaki::platform
