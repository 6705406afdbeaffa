#include "common/output_file.h"

#include <cerrno>
#include <cstring>

namespace kowaki {

namespace {
constexpr size_t kBufferSize = 1 << 16;

std::string Describe(const std::string& path) { return path + ": " + std::strerror(errno); }
}  // namespace

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Open(const std::string& path, std::string* error) {
  Discard();
  errno = 0;
  switch (platform::KindOfPath(path)) {
    case platform::PathKind::kFolder:
      *error = path + ": is a folder";
      return false;
    case platform::PathKind::kDevice:
      file_ = std::fopen(path.c_str(), "wb");
      break;
    default:
      file_ = platform::CreateTempBeside(path, &temp_path_);
      break;
  }
  if (!file_) {
    *error = Describe(path);
    return false;
  }
  std::setvbuf(file_, nullptr, _IOFBF, kBufferSize);
  path_ = path;
  return true;
}

bool OutputFile::Write(const void* data, size_t size) {
  if (!file_) return false;
  return size == 0 || std::fwrite(data, 1, size, file_) == size;
}

bool OutputFile::Flush() { return file_ && std::fflush(file_) == 0; }

bool OutputFile::Seek(uint64_t position) { return file_ && platform::Seek64(file_, position); }

bool OutputFile::Truncate(uint64_t size) {
  if (!file_ || temp_path_.empty()) return false;
  std::fclose(file_);  // what it could not write is cut off anyway
  file_ = std::fopen(temp_path_.c_str(), "r+b");
  if (!file_) return false;
  std::setvbuf(file_, nullptr, _IOFBF, kBufferSize);
  return platform::TruncateFile(file_, size) && platform::Seek64(file_, size);
}

bool OutputFile::Commit(std::string* error) {
  if (!file_) {
    *error = path_ + ": not open";
    return false;
  }
  errno = 0;
  bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
  ok = (std::fclose(file_) == 0) && ok;
  file_ = nullptr;
  if (!ok) {
    *error = Describe(path_);
    if (!temp_path_.empty()) std::remove(temp_path_.c_str());
    temp_path_.clear();
    return false;
  }
  if (temp_path_.empty()) return true;  // a device
  if (!platform::RenameOnto(temp_path_, path_)) {
    *error = Describe(path_);
    std::remove(temp_path_.c_str());
    temp_path_.clear();
    return false;
  }
  temp_path_.clear();
  return true;
}

void OutputFile::Discard() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temp_path_.empty()) {
    std::remove(temp_path_.c_str());
    temp_path_.clear();
  }
}

}  // namespace kowaki
