#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/xattr.h>
#endif

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "common/input_files.h"
#include "common/leftovers.h"
#include "common/output_file.h"
#include "text/catalogue.h"

namespace kowaki {

namespace {

// No write bit at all says "read-only" to everyone, root included; else
// the system's answer for us.
bool MayWrite(const std::string& path, const struct stat& info, int access) {
  return (info.st_mode & 0222) != 0 && faccessat(AT_FDCWD, path.c_str(), access, AT_EACCESS) == 0;
}

// The descriptor number that follows `prefix` in `path`, or -1.
int NumberAfter(std::string_view path, std::string_view prefix) {
  if (!path.starts_with(prefix) || path.size() == prefix.size() ||
      path.size() - prefix.size() > 9) {
    return -1;
  }
  int number = 0;
  for (const char c : path.substr(prefix.size())) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  return number;
}

// The descriptor of ours that `path` names, or -1: these links lead to
// what the descriptor is open on, which may have no name at all.
int DescriptorNamed(const std::string& path) {
  constexpr std::string_view kStandard[] = {"/dev/stdin", "/dev/stdout", "/dev/stderr"};
  for (int i = 0; i < 3; ++i) {
    if (path == kStandard[i]) return i;
  }
  const std::string own = "/proc/" + std::to_string(getpid()) + "/fd/";
  for (const std::string_view prefix :
       {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
        std::string_view("/proc/thread-self/fd/"), std::string_view(own)}) {
    const int number = NumberAfter(path, prefix);
    if (number >= 0) return number;
  }
  return -1;
}

// Where we may not give it the owner (EPERM), the group alone, where we
// are in it; else it stays ours, as any file we make.
bool KeepOwner(int fd, const struct stat& old) {
  return fchown(fd, old.st_uid, old.st_gid) == 0 ||
         fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
}

#if defined(__linux__)
// The access ACL and the user's own attributes: the others are the
// system's to set (security labels) or take privileges.
void KeepExtendedAttributes(const std::string& path, int fd) {
  const ssize_t size = listxattr(path.c_str(), nullptr, 0);
  if (size <= 0) return;
  std::vector<char> names(static_cast<size_t>(size));
  const ssize_t listed = listxattr(path.c_str(), names.data(), names.size());
  for (size_t at = 0; listed > 0 && at < static_cast<size_t>(listed);) {
    const std::string_view name(names.data() + at);  // each ends in a zero
    at += name.size() + 1;
    if (name != "system.posix_acl_access" && !name.starts_with("user.")) continue;
    std::vector<char> value(
        static_cast<size_t>(std::max<ssize_t>(getxattr(path.c_str(), name.data(), nullptr, 0), 0)));
    const ssize_t got = getxattr(path.c_str(), name.data(), value.data(), value.size());
    if (got >= 0) fsetxattr(fd, name.data(), value.data(), static_cast<size_t>(got), 0);
  }
}
#endif

// What the file at `path` had that the new file `fd` replacing it keeps:
// owner and group where allowed, then the permission bits (not set-id
// ones), then on Linux the ACL, which agrees with them.
void KeepAttributes(const std::string& path, const struct stat& old, int fd) {
  KeepOwner(fd, old);
  fchmod(fd, old.st_mode & 0777);
#if defined(__linux__)
  KeepExtendedAttributes(path, fd);
#endif
}

std::optional<platform::FileFacts> FactsOf(const struct stat& info) {
  return platform::FileFacts{
      .id = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)},
      .links = static_cast<uint32_t>(info.st_nlink)};
}

}  // namespace

Result<> CanCreateIn(const std::string& folder) {
  struct stat info;
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return {};
  if (MayWrite(folder, info, W_OK | X_OK)) return {};
  return Failure{Say(Text::kOutputReadOnly)};
}

namespace platform {

Result<> CanReplaceFile(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  if (MayWrite(path, info, W_OK)) return {};
  return Failure{Say(Text::kOutputReadOnly)};
}

std::optional<FileFacts> FactsOfPath(const std::string& path, bool follow_links) {
  struct stat info;
  const int got = follow_links ? stat(path.c_str(), &info) : lstat(path.c_str(), &info);
  return got == 0 ? FactsOf(info) : std::nullopt;
}

std::optional<FileFacts> FactsOfDescriptor(int fd) {
  struct stat info;
  return fstat(fd, &info) == 0 ? FactsOf(info) : std::nullopt;
}

namespace {
PathKind KindOfMode(mode_t mode) {
  if (S_ISLNK(mode)) return PathKind::kLink;
  if (S_ISDIR(mode)) return PathKind::kFolder;
  return S_ISREG(mode) ? PathKind::kFile : PathKind::kDevice;
}
}  // namespace

PathKind KindOfPath(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? KindOfMode(info.st_mode) : PathKind::kNone;
}

PathKind KindOfName(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 ? KindOfMode(info.st_mode) : PathKind::kNone;
}

bool FollowLinks(const std::string& path, std::string* target, int* descriptor) {
  constexpr int kMaxLinks = 40;  // as the kernel allows
  std::string current = path;
  for (int links = 0; links <= kMaxLinks; ++links) {
    *descriptor = DescriptorNamed(current);
    char buffer[PATH_MAX];
    const ssize_t length = readlink(current.c_str(), buffer, sizeof buffer);
    if (*descriptor >= 0 || length <= 0 || length == static_cast<ssize_t>(sizeof buffer)) {
      *target = current;
      return true;
    }
    std::string next(buffer, static_cast<size_t>(length));
    const size_t slash = current.rfind('/');
    if (next[0] != '/' && slash != std::string::npos) next = current.substr(0, slash + 1) + next;
    current = next;
  }
  return false;
}

// Made with the mode of the file it replaces, never more open than that.
std::FILE* CreateTempBeside(const std::string& path, std::string* temp_path) {
  if (!CanCreateIn(FolderOf(path))) {
    errno = EACCES;
    return nullptr;
  }
  struct stat old;
  const bool replacing = stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  const size_t slash = path.rfind('/');
  const std::string prefix = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string file_name = path.substr(prefix.size());
  // Not mkstemp: its private mode would need the umask changed back and
  // forth, which races with other threads creating files.
  constexpr int kAttempts = 100;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string name = prefix + TemporaryName(file_name);
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY,
                        replacing ? old.st_mode & 0777 : 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    if (replacing) KeepAttributes(path, old, fd);
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
      close(fd);
      unlink(name.c_str());
      return nullptr;
    }
    *temp_path = std::move(name);
    return file;
  }
  return nullptr;
}

// Without O_TRUNC: a device or pipe has nothing to cut, and a terminal's
// settings stay.
std::FILE* OpenInPlace(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (!file) close(fd);
  return file;
}

std::FILE* ReopenForUpdate(const std::string& path) { return std::fopen(path.c_str(), "r+b"); }

std::FILE* OpenDescriptor(int descriptor) {
  const int fd = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "wb");
  if (!file) close(fd);
  return file;
}

std::optional<FileFacts> FactsOfFile(std::FILE* file) { return FactsOfDescriptor(fileno(file)); }

bool CanSeekBack(std::FILE* file) {
  const int fd = fileno(file);
  struct stat info;
  const int flags = fcntl(fd, F_GETFL);
  return fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flags >= 0 && !(flags & O_APPEND) &&
         lseek(fd, 0, SEEK_CUR) == 0;
}

bool RenameOnto(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool Seek64(std::FILE* file, uint64_t position) {
  return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
}

bool TruncateFile(std::FILE* file, uint64_t size) {
  return std::fflush(file) == 0 && ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
}

}  // namespace platform

}  // namespace kowaki
