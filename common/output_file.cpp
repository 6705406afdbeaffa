#include "common/output_file.h"

#include <cerrno>
#include <cstring>

#include "common/leftovers.h"
#include "common/temp_files.h"
#include "text/catalogue.h"

namespace kowaki {

namespace {
constexpr size_t kBufferSize = 1 << 16;
// Standard output, as "-" and /dev/stdout name it.
constexpr int kStandardOutput = 1;

// What the system said went wrong, after the path.
Failure Describe(const std::string& path) {
  const int system_error = errno;
  return {path + ": " + std::strerror(system_error), system_error};
}
}  // namespace

Result<> CanReplace(const std::string& path) {
  if (platform::KindOfName(path) != platform::PathKind::kFile) return {};
  const std::optional<platform::FileFacts> file = platform::FactsOfPath(path, false);
  if (!file) return {};
  if (const std::optional<std::string> input = InputAt(file->id, false)) {
    return Failure{Say(Text::kOutputIsInput, *input)};
  }
  if (file->links > 1) return Failure{Say(Text::kOutputHasLinks, static_cast<int>(file->links))};
  return platform::CanReplaceFile(path);
}

namespace platform {
bool SameFile(const std::string& a, const std::string& b) {
  const std::optional<FileFacts> first = FactsOfPath(a, true);
  const std::optional<FileFacts> second = FactsOfPath(b, true);
  return first && second && first->id == second->id;
}
}  // namespace platform

OutputFile::~OutputFile() { Discard(); }

Result<> OutputFile::Open(const std::string& path, OutputPlace place) {
  Discard();
  path_ = path;
  stream_ = false;
  errno = 0;
  // In a folder the name itself decides (lstat's view), so no link is
  // ever followed there.
  Result<> opened = place == OutputPlace::kInFolder
                        ? OpenAt(path_, platform::KindOfName(path_), place)
                        : OpenNamed();
  if (opened) std::setvbuf(file_, nullptr, _IOFBF, kBufferSize);
  return opened;
}

Result<> OutputFile::OpenNamed() {
  if (path_ == "-") return OpenInPlace(platform::OpenDescriptor(kStandardOutput));
  std::string target;
  int descriptor = -1;
  if (!platform::FollowLinks(path_, &target, &descriptor))
    return Refuse(Say(Text::kOutputLinkLoop));
  if (descriptor >= 0) return OpenInPlace(platform::OpenDescriptor(descriptor));
  return OpenAt(target, platform::KindOfName(target), OutputPlace::kNamed);
}

// `target` holds what `kind` says: written through a temporary when it is
// an ordinary file or nothing, else in place where it was named.
Result<> OutputFile::OpenAt(const std::string& target, platform::PathKind kind, OutputPlace place) {
  const bool in_folder = place == OutputPlace::kInFolder;
  switch (kind) {
    case platform::PathKind::kNone:
    case platform::PathKind::kFile:
      return OpenTemporary(target);
    case platform::PathKind::kFolder:
      return Refuse(Say(Text::kOutputFolder));
    case platform::PathKind::kLink:
      return Refuse(Say(in_folder ? Text::kOutputLinkInFolder : Text::kOutputLinkUnfollowed));
    case platform::PathKind::kDevice:
      break;
  }
  if (in_folder) return Refuse(Say(Text::kOutputNotOrdinary));
  return OpenInPlace(platform::OpenInPlace(target));
}

// Whatever keeps the file from being replaced is found here, before any
// work, rather than at the rename.
Result<> OutputFile::OpenTemporary(const std::string& destination) {
  if (const Result<> replaceable = CanReplace(destination); !replaceable) {
    return Refuse(replaceable.failure().text);
  }
  RemoveLeftovers(platform::FolderOf(destination));
  {
    const TempCreation creation;
    if (!creation.allowed()) return Refuse(Say(Text::kOutputEnding));
    file_ = platform::CreateTempBeside(destination, &temp_path_);
    if (file_) temp_slot_ = EnterTemporary(temp_path_.c_str());
  }
  if (!file_) return Describe(path_);
  if (temp_slot_ < 0) {
    Discard();
    return Refuse(Say(Text::kOutputTempPathLong));
  }
  destination_ = destination;
  return {};
}

// However it was spelt, what it is open on is never an input: it was
// opened without cutting it, so nothing is lost yet.
Result<> OutputFile::OpenInPlace(std::FILE* file) {
  file_ = file;
  if (!file_) return Describe(path_);
  const std::optional<platform::FileFacts> facts = platform::FactsOfFile(file_);
  if (const auto input = facts ? InputAt(facts->id, true) : std::nullopt) {
    Discard();
    return Refuse(Say(Text::kOutputIsInput, *input));
  }
  stream_ = !platform::CanSeekBack(file_);
  return {};
}

Result<> OutputFile::CheckInputs() const {
  const std::optional<platform::FileFacts> facts =
      in_place() ? platform::FactsOfFile(file_) : platform::FactsOfPath(destination_, false);
  if (const auto input = facts ? InputAt(facts->id, in_place()) : std::nullopt) {
    return Refuse(Say(Text::kOutputIsInput, *input));
  }
  return {};
}

Failure OutputFile::Refuse(const std::string& reason) const { return {path_ + ": " + reason}; }

bool OutputFile::Write(const void* data, size_t size) {
  if (!file_) return false;
  return size == 0 || std::fwrite(data, 1, size, file_) == size;
}

bool OutputFile::Flush() { return file_ && std::fflush(file_) == 0; }

bool OutputFile::Seek(uint64_t position) {
  return file_ && !stream_ && platform::Seek64(file_, position);
}

bool OutputFile::Truncate(uint64_t size) {
  if (!file_ || temp_path_.empty()) return false;
  std::fclose(file_);  // what it could not write is cut off anyway
  file_ = platform::ReopenForUpdate(temp_path_);
  if (!file_) return false;
  std::setvbuf(file_, nullptr, _IOFBF, kBufferSize);
  return platform::TruncateFile(file_, size) && platform::Seek64(file_, size);
}

Result<> OutputFile::Commit() {
  if (!file_) {
    return Refuse(Say(Text::kOutputNotOpen));
  }
  errno = 0;
  bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
  ok = (std::fclose(file_) == 0) && ok;
  file_ = nullptr;
  if (ok && !temp_path_.empty()) {
    ok = platform::RenameOnto(temp_path_, destination_);
    if (ok) ForgetTemporary();  // it is the destination now
  }
  const Result<> committed = ok ? Result<>() : Describe(path_);
  DropTemporary();
  return committed;
}

void OutputFile::Discard() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  DropTemporary();
}

void OutputFile::DropTemporary() {
  if (temp_path_.empty()) return;
  platform::RemoveFileNow(temp_path_.c_str());
  ForgetTemporary();
}

void OutputFile::ForgetTemporary() {
  LeaveTemporary(temp_slot_);
  temp_slot_ = -1;
  temp_path_.clear();
}

}  // namespace kowaki
