#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "modding/folder.h"

namespace kowaki {

std::string PathInFolder(std::string_view folder, std::string_view file) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  return path.append(file);
}

namespace platform {

namespace {
struct FolderCloser {
  void operator()(DIR* folder) const { closedir(folder); }
};
}  // namespace

Result<std::vector<std::string>> FileNamesIn(const std::string& folder) {
  const std::unique_ptr<DIR, FolderCloser> listing(opendir(folder.c_str()));
  if (!listing) return Failure{folder + ": " + std::strerror(errno), errno};
  std::vector<std::string> names;
  const int fd = dirfd(listing.get());
  while (const dirent* item = readdir(listing.get())) {
    struct stat info;
    if (fstatat(fd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode)) {
      continue;
    }
    names.emplace_back(item->d_name);
  }
  return names;
}

bool HardLink(const std::string& from, const std::string& to) {
  return link(from.c_str(), to.c_str()) == 0;
}

bool NamesIgnoreCase() {
#if defined(__APPLE__)
  return true;  // as the default volumes have it
#else
  return false;
#endif
}

}  // namespace platform

}  // namespace kowaki
