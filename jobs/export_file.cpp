#include "jobs/export_file.h"

namespace kowaki {

namespace {

class OutputExportFile : public ExportFile {
 public:
  Result<> Open(const std::string& path, OutputPlace place) { return file_.Open(path, place); }
  bool Write(const void* data, size_t size) override { return file_.Write(data, size); }
  bool Flush() override { return file_.Flush(); }
  bool CutBack(uint64_t size) override { return file_.Truncate(size); }
  bool Finish(std::span<const uint8_t> header) override {
    const bool patched = header.empty() || IsStream() ||
                         (file_.Seek(0) && file_.Write(header.data(), header.size()));
    return file_.Commit() && patched;
  }
  void Discard() override { file_.Discard(); }
  bool IsStream() const override { return file_.is_stream(); }

 private:
  OutputFile file_;
};

}  // namespace

Result<std::unique_ptr<ExportFile>> OpenExportFile(const std::string& path, OutputPlace place) {
  auto file = std::make_unique<OutputExportFile>();
  if (Result<> opened = file->Open(path, place); !opened) return opened.failure();
  return std::unique_ptr<ExportFile>(std::move(file));
}

}  // namespace kowaki
