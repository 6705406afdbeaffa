#include "modding/backup.h"

#include <memory>

#include "archive/archive_file.h"
#include "common/output_file.h"
#include "modding/folder.h"
#include "text/catalogue.h"

namespace kowaki {

namespace {

constexpr size_t kCopyBlock = 1 << 16;

Result<> CopyInto(const std::string& from, const std::string& to) {
  archive_file::Handle file(archive_file::OpenShared(from.c_str()));
  if (!file) return Failure{Say(Text::kCannotReadPath, from)};
  OutputFile out;
  if (Result<> opened = out.Open(to, OutputPlace::kInFolder); !opened) return opened;
  auto buffer = std::make_unique<char[]>(kCopyBlock);
  int64_t n;
  while ((n = archive_file::Read(file.fd(), buffer.get(), kCopyBlock)) > 0) {
    if (!out.Write(buffer.get(), static_cast<size_t>(n))) {
      return Failure{Say(Text::kCannotWritePath, to)};
    }
  }
  if (n < 0) return Failure{Say(Text::kCannotReadPath, from)};
  return out.Commit();
}

}  // namespace

std::optional<std::string> ReplacedFile(const std::string& path) {
  std::string target;
  int descriptor = -1;
  if (path == "-" || !platform::FollowLinks(path, &target, &descriptor) || descriptor >= 0 ||
      platform::KindOfName(target) != platform::PathKind::kFile) {
    return std::nullopt;
  }
  return target;
}

std::string BackupName(const std::string& file) {
  std::string name = file + ".bak";
  for (int n = 1; platform::KindOfName(name) != platform::PathKind::kNone; ++n) {
    name = file + ".bak." + std::to_string(n);
  }
  return name;
}

Result<std::string> KeepBackup(const std::string& file) {
  const std::string name = BackupName(file);
  if (platform::HardLink(file, name)) return name;
  if (Result<> copied = CopyInto(file, name); !copied) return copied.failure();
  return name;
}

}  // namespace kowaki
