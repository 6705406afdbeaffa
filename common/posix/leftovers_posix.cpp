#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>

#include "common/leftovers.h"

namespace kowaki::platform {

namespace {

// The clock still runs on for a process started within a tick of the
// file's last write; the boot time is in whole seconds.
constexpr int64_t kStartSlack = 2;

#if defined(__linux__)
// When process `pid` started, in seconds since the epoch, from /proc; 0
// when it cannot tell.
int64_t StartTime(uint32_t pid) {
  std::ifstream stat_file("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat_file, line) || line.rfind(')') == std::string::npos) return 0;
  // Field 22 is the start in clock ticks after the boot; the fields after
  // the command's ")" begin with field 3.
  std::istringstream fields(line.substr(line.rfind(')') + 1));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i) {
  }
  std::ifstream boot_file("/proc/stat");
  int64_t boot = 0;
  for (std::string key; boot_file >> key;) {
    if (key == "btime" && boot_file >> boot) break;
  }
  const long ticks = sysconf(_SC_CLK_TCK);
  uint64_t start = 0;
  if (boot == 0 || ticks <= 0 || !fields ||
      std::from_chars(field.data(), field.data() + field.size(), start).ec != std::errc()) {
    return 0;
  }
  return boot + static_cast<int64_t>(start / static_cast<uint64_t>(ticks));
}
#else
int64_t StartTime(uint32_t) { return 0; }
#endif

// Whether no process could still be writing a file last written at
// `written`: none has the PID, or the one that has it is younger.
bool ProcessGone(uint32_t pid, int64_t written) {
  if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return true;
  const int64_t started = StartTime(pid);
  return started != 0 && started > written + kStartSlack;
}

}  // namespace

uint32_t ProcessId() { return static_cast<uint32_t>(getpid()); }

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void ForEachName(const std::string& folder, const std::function<void(const std::string&)>& visit) {
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return;
  while (const dirent* item = readdir(dir.get())) visit(item->d_name);
}

void RemoveIfLeftover(const std::string& folder, const std::string& name, uint32_t pid) {
  const std::string path = folder + "/" + name;
  struct stat info;
  if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
    return;
  }
  const int64_t written = info.st_mtime;
  if (std::time(nullptr) - written < kLeftoverSeconds || !ProcessGone(pid, written)) return;
  unlink(path.c_str());
}

}  // namespace kowaki::platform
