#include "jobs/export_file.h"

#include <cstdio>

#include "common/output_file.h"

namespace kowaki {

namespace {

class OrdinaryFile : public ExportFile {
 public:
  bool Open(const std::string& path) {
    std::string error;
    return file_.Open(path, &error);
  }
  bool Write(const void* data, size_t size) override {
    if (!file_.Write(data, size)) return false;
    position_ += size;
    return true;
  }
  // Moving the position writes out what the stream buffered.
  bool Flush() override { return file_.Seek(position_); }
  bool Finish(std::span<const uint8_t> header) override {
    bool ok = header.empty() || (file_.Seek(0) && file_.Write(header.data(), header.size()));
    std::string error;
    ok = file_.Commit(&error) && ok;
    return ok;
  }
  void Discard() override { file_.Discard(); }

 private:
  OutputFile file_;
  uint64_t position_ = 0;
};

class DeviceFile : public ExportFile {
 public:
  ~DeviceFile() override { Discard(); }
  bool Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "wb");
    return file_ != nullptr;
  }
  bool Write(const void* data, size_t size) override {
    return std::fwrite(data, 1, size, file_) == size;
  }
  bool Flush() override { return std::fflush(file_) == 0; }
  bool Finish(std::span<const uint8_t> header) override {
    // A device may not seek; what it took is what it keeps.
    if (!header.empty() && std::fseek(file_, 0, SEEK_SET) == 0) {
      std::fwrite(header.data(), 1, header.size(), file_);
    }
    const bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
    std::fclose(file_);
    file_ = nullptr;
    return ok;
  }
  void Discard() override {
    if (file_) std::fclose(file_);
    file_ = nullptr;
  }

 private:
  std::FILE* file_ = nullptr;
};

template <typename File>
std::unique_ptr<ExportFile> Opened(const std::string& path) {
  auto file = std::make_unique<File>();
  if (!file->Open(path)) return nullptr;
  return file;
}

}  // namespace

std::unique_ptr<ExportFile> OpenExportFile(const std::string& path) {
  switch (platform::KindOfPath(path)) {
    case platform::PathKind::kFolder:
      return nullptr;
    case platform::PathKind::kDevice:
      return Opened<DeviceFile>(path);
    default:
      return Opened<OrdinaryFile>(path);
  }
}

}  // namespace kowaki
