#include "jobs/export_file.h"

#include "common/output_file.h"

namespace kowaki {

namespace {

class OutputExportFile : public ExportFile {
 public:
  bool Open(const std::string& path) {
    std::string error;
    return file_.Open(path, &error);
  }
  bool Write(const void* data, size_t size) override { return file_.Write(data, size); }
  bool Flush() override { return file_.Flush(); }
  bool CutBack(uint64_t size) override { return file_.Truncate(size); }
  bool Finish(std::span<const uint8_t> header) override {
    // A device may not seek back: what it took is what it keeps.
    const bool device = file_.is_device();
    bool ok =
        header.empty() || (file_.Seek(0) && file_.Write(header.data(), header.size())) || device;
    std::string error;
    ok = file_.Commit(&error) && ok;
    return ok;
  }
  void Discard() override { file_.Discard(); }

 private:
  OutputFile file_;
};

}  // namespace

std::unique_ptr<ExportFile> OpenExportFile(const std::string& path) {
  auto file = std::make_unique<OutputExportFile>();
  if (!file->Open(path)) return nullptr;
  return file;
}

}  // namespace kowaki
